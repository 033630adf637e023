#pragma once

#include <ostrane/QLogMsg.h>

#include <string>

namespace ostrane::detail {

// A warn-level message the library makes about itself (lines it had to drop), dated now and
// attributed to `file` and `method` of the library.
QLogMsg libraryNotice(std::string content, const char* file, const char* method);

}  // namespace ostrane::detail
