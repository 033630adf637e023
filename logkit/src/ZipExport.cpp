#include "ZipExport.h"

#include "DirScan.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace ostrane::detail {
namespace {

std::string ownName(const std::string& dir) {
  fs::path p(dir);
  while (!p.empty() && !p.has_filename() && p.has_parent_path() && p != p.root_path())
    p = p.parent_path();
  return p.filename().string();
}

bool isLogFile(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".log") == 0;
}

// The length of the file's first `size` bytes up to and including their last "\n"; 0 when
// they hold none or cannot be read.
off_t lastLineEnd(const std::string& path, off_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char chunk[16 * 1024];
  off_t end = size;
  off_t found = 0;
  while (end > 0 && found == 0) {
    const off_t start = std::max<off_t>(end - static_cast<off_t>(sizeof chunk), 0);
    const ssize_t got = ::pread(fd, chunk, static_cast<std::size_t>(end - start), start);
    if (got != end - start) break;
    for (ssize_t i = got; i > 0; --i) {
      if (chunk[i - 1] == '\n') {
        found = start + i;
        break;
      }
    }
    end = start;
  }
  ::close(fd);
  return found;
}

bool addEntry(zip_t* archive, const std::string& fullPath, const std::string& name) {
  struct stat st {};
  if (lstat(fullPath.c_str(), &st) != 0) return true;  // vanished since the walk: skip it
  if (S_ISDIR(st.st_mode)) return zip_dir_add(archive, (name + "/").c_str(), ZIP_FL_ENC_UTF_8) >= 0;
  if (!S_ISREG(st.st_mode)) return true;  // sockets, links and the like are not log data
  // A log file may be growing: only its complete lines go in, the rest waits for the next export.
  const off_t length = isLogFile(name) ? lastLineEnd(fullPath, st.st_size) : st.st_size;
  // libzip reads a length of 0 as "to the end": an empty entry needs a source of its own.
  zip_source_t* source =
      length == 0 ? zip_source_buffer(archive, nullptr, 0, 0)
                  : zip_source_file(archive, fullPath.c_str(), 0, static_cast<zip_int64_t>(length));
  if (!source) return false;
  const zip_int64_t index =
      zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
  if (index < 0) {
    zip_source_free(source);
    return false;
  }
  zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), st.st_mtime, 0);
  return true;
}

}  // namespace

bool zipDirectory(const std::string& dir, const std::string& archivePath) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
  const std::string root = ownName(dir);
  if (root.empty()) return false;
  int error = 0;
  zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  // The root entry keeps the archive valid, and present, when the directory is empty.
  bool ok = zip_dir_add(archive, (root + "/").c_str(), ZIP_FL_ENC_UTF_8) >= 0;
  for (const auto& sub : listSubpaths(dir)) {
    if (!ok) break;
    ok = addEntry(archive, dir + "/" + sub, root + "/" + sub);
  }
  if (!ok) {
    zip_discard(archive);
    return false;
  }
  return zip_close(archive) == 0 || (zip_discard(archive), false);
}

}  // namespace ostrane::detail
