#pragma once

// Directory walks shared by the file handlers: every entry under a directory, creation dates,
// and the newest-first listing shown to users.

#include <ostrane/QlogFileModel.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrane::detail {

// Every file and directory under `dir`, recursively, as paths relative to it, sorted by name
// so that walks are repeatable. Symbolic links are listed but not followed. A missing or
// unreadable directory gives an empty list.
std::vector<std::string> listSubpaths(const std::string& dir);

// Creation time in nanoseconds since the epoch: the file system's birth time where it keeps
// one, else the modification time; nothing when the entry cannot be read.
std::optional<std::int64_t> creationTimeNs(const std::string& path);

struct DatedEntry {
  std::string subpath;
  std::optional<std::int64_t> created;
};

// Stable sort by creation date; entries without a date go last, in listing order.
void sortByCreation(std::vector<DatedEntry>& entries, bool newestFirst);

// The listing of `dir` as shown to users: sorted by creation date, newest first when asked.
std::vector<QlogFileModel> sortedListing(const std::string& dir, bool newestFirst);

}  // namespace ostrane::detail
