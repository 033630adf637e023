#pragma once

// Names of the rotating log files: "<display name>_<yyyy-MM-dd HH:mm:ss>_<slice>.log".

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrane::detail {

std::string logFileName(std::string_view displayName, std::string_view stamp, std::int64_t slice);

// The number after the last "_" of the path without its extension; 0 when that piece is empty
// or not a signed decimal number (for example after a manual rename).
std::int64_t sliceOfLogFileName(std::string_view path);

// Whether `name` (no directory) has the form of the files logFileName makes for `displayName`.
bool isLogFileName(std::string_view name, std::string_view displayName);

}  // namespace ostrane::detail
