#pragma once

#include <ostrane/Export.h>
#include <ostrane/LogLevel.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ostrane {

// One log message. The library builds it on the caller's thread; every field is plain data.
struct OSTRANE_EXPORT QLogMsg {
  std::string content;             // the caller's items, joined by single spaces
  std::string date;                // "yyyy-MM-dd HH:mm:ss.SSS", local time of creation
  std::string file;                // the caller's source path, unchanged
  std::string method;              // the caller's function signature, unchanged
  std::string line;                // the caller's line number as decimal text
  std::optional<std::string> tag;  // an empty tag is shown like no tag
  LogLevel level = LogLevel::debug;
  std::uint64_t threadId = 0;
  std::uint64_t pId = 0;

  // The finished line, without a trailing newline:
  // [date] [level] [tag]: content [threadId] [pId] [file-name:line] [method]
  std::string formatLog() const;
  // Appends the same line to `out`, reusing its storage.
  void appendFormatted(std::string& out) const;
};

}  // namespace ostrane
