#pragma once

#include <ostrane/QLogger.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace ostrane::detail {

struct Barrier;

// One slot of the log queue. Built by the caller in place; strings keep their storage from
// use to use, so a steady stream of lines allocates nothing on the caller's side.
struct LogEntry {
  enum class Kind : std::uint8_t { message, prebuilt, barrier };

  static constexpr std::size_t kInlineContent = 200;

  Kind kind = Kind::message;
  LogLevel level = LogLevel::debug;
  bool hasTag = false;
  bool longContent = false;
  std::uint32_t line = 0;
  std::uint32_t contentSize = 0;
  std::uint64_t threadId = 0;
  std::uint64_t pId = 0;
  const char* file = "";  // static strings of the call site
  const char* method = "";
  char date[23];
  char content[kInlineContent];
  std::string contentLong;
  std::string tag;
  QLogger logger;                     // the logger copy taken at the call
  std::unique_ptr<QLogMsg> prebuilt;  // Kind::prebuilt
  Barrier* barrier = nullptr;         // Kind::barrier

  std::string_view contentView() const noexcept {
    return longContent ? std::string_view(contentLong) : std::string_view(content, contentSize);
  }
  void setContent(std::string_view text) {
    if (text.size() <= kInlineContent) {
      if (!text.empty()) std::memcpy(content, text.data(), text.size());
      contentSize = static_cast<std::uint32_t>(text.size());
      longContent = false;
    } else {
      contentLong.assign(text);
      longContent = true;
    }
  }
  // Fills `msg` from this entry, reusing msg's storage.
  void materialize(QLogMsg& msg) const;
  // Drops references and oversized storage once the entry has been delivered.
  void release() noexcept;
};

}  // namespace ostrane::detail
