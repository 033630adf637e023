// Feeds Ostrane's log-file names and listing. The input starts with a display name (one length
// byte, then the name), a slice (8 bytes, little-endian) and 14 bytes read as the stamp's
// digits; the name made from them must read back as a log file name of that slice. The rest is
// a list of file names separated by '\n', created in one reused temporary folder and listed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "DirScan.h"
#include "LogFileName.h"
#include "ScratchFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace ostrane::detail;

std::string folder;
constexpr std::size_t kMaxFiles = 8;

std::string stampOf(const std::uint8_t* digits) {
  std::string stamp = "dddd-dd-dd dd:dd:dd";
  for (char& c : stamp) {
    if (c == 'd') c = static_cast<char>('0' + *digits++ % 10);
  }
  return stamp;
}

void checkNames(const std::uint8_t* data, std::size_t size, std::size_t& pos) {
  const std::size_t nameLength = data[0];
  pos = 1 + nameLength + 8 + 14;
  if (size < pos) {
    pos = size;
    return;
  }
  const std::string_view displayName(reinterpret_cast<const char*>(data + 1), nameLength);
  std::uint64_t raw = 0;
  for (int i = 7; i >= 0; --i) raw = raw << 8 | data[1 + nameLength + i];
  const auto slice = static_cast<std::int64_t>(raw);
  const std::string name = logFileName(displayName, stampOf(data + 1 + nameLength + 8), slice);
  if (sliceOfLogFileName(name) != slice) __builtin_trap();
  if (sliceOfLogFileName("/some/dir/" + name) != slice) __builtin_trap();
  if (slice >= 0 && !isLogFileName(name, displayName)) __builtin_trap();
}

// A name the folder can hold as a plain file; others are skipped.
bool usable(std::string_view name) {
  return !name.empty() && name.size() < 200 && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = makeScratchFolder("log_listing_fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t pos = 0;
  checkNames(data, size, pos);

  for (const auto& entry : fs::directory_iterator(folder)) ::unlink(entry.path().c_str());
  std::set<std::string> created;
  const std::string_view rest(reinterpret_cast<const char*>(data + pos), size - pos);
  std::size_t start = 0;
  while (start <= rest.size() && created.size() < kMaxFiles) {
    const std::size_t end = std::min(rest.find('\n', start), rest.size());
    const std::string name(rest.substr(start, end - start));
    start = end + 1;
    if (!usable(name) || created.contains(name)) continue;
    const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) continue;
    ::close(fd);
    created.insert(name);
  }

  const bool newestFirst = (data[0] & 1) != 0;
  const auto listing = sortedListing(folder, newestFirst);
  // Exactly the files made, each with its full path, in creation order as asked.
  if (listing.size() != created.size()) __builtin_trap();
  // Entries of equal date keep the name order of the walk.
  std::int64_t previous = newestFirst ? INT64_MAX : INT64_MIN;
  std::string previousName;
  for (const auto& entry : listing) {
    if (!created.contains(entry.fileName) || entry.filePath != folder + "/" + entry.fileName) {
      __builtin_trap();
    }
    const auto time = creationTimeNs(entry.filePath);
    if (!time || (newestFirst ? *time > previous : *time < previous)) __builtin_trap();
    if (*time == previous && entry.fileName < previousName) __builtin_trap();
    previous = *time;
    previousName = entry.fileName;
  }
  return 0;
}
