#pragma once

#include <string>

namespace ostrane::detail {

// Writes a zip archive at `archivePath` holding every entry under `dir`, each stored under
// the directory's own name ("QLogs/..."). Files are taken at their size when the walk sees
// them, log files ("*.log") only up to their last complete line, so a file that keeps growing
// is packed without a line cut short. Returns false on failure, leaving no archive behind.
bool zipDirectory(const std::string& dir, const std::string& archivePath);

}  // namespace ostrane::detail
