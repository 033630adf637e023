#include "DirScan.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace ostrane::detail {

std::vector<std::string> listSubpaths(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  const fs::recursive_directory_iterator end;
  const fs::path base(dir);
  while (!ec && it != end) {
    out.push_back(it->path().lexically_relative(base).string());
    it.increment(ec);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<std::int64_t> creationTimeNs(const std::string& path) {
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &sx) != 0)
    return std::nullopt;
  const statx_timestamp& ts = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
  if (!(sx.stx_mask & (STATX_BTIME | STATX_MTIME))) return std::nullopt;
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sortByCreation(std::vector<DatedEntry>& entries, bool newestFirst) {
  std::stable_sort(entries.begin(), entries.end(),
                   [newestFirst](const DatedEntry& a, const DatedEntry& b) {
                     if (a.created && b.created)
                       return newestFirst ? *a.created > *b.created : *a.created < *b.created;
                     return a.created.has_value() && !b.created.has_value();
                   });
}

std::vector<QlogFileModel> sortedListing(const std::string& dir, bool newestFirst) {
  std::vector<DatedEntry> entries;
  for (auto& sub : listSubpaths(dir)) {
    auto created = creationTimeNs(dir + "/" + sub);
    entries.push_back({std::move(sub), created});
  }
  sortByCreation(entries, newestFirst);
  std::vector<QlogFileModel> out;
  out.reserve(entries.size());
  for (auto& e : entries) out.push_back({e.subpath, dir + "/" + e.subpath});
  return out;
}

}  // namespace ostrane::detail
