#pragma once

#include <ostrane/Export.h>
#include <ostrane/LogItems.h>
#include <ostrane/LogLevel.h>
#include <ostrane/QLogHandler.h>
#include <ostrane/QLogMsg.h>
#include <ostrane/QLoggerObserver.h>

#include <memory>
#include <optional>
#include <source_location>
#include <string_view>
#include <vector>

namespace ostrane {

class QLogger;

namespace detail {
// Builds a message on the caller's thread and queues it for `logger`; never throws.
OSTRANE_EXPORT void submit(const QLogger& logger, LogLevel level, const std::string_view* tag,
                           std::string_view content, const std::source_location& site) noexcept;
}  // namespace detail

// A logger: a threshold, an optional observer (held weakly) and an ordered list of handlers.
// A cheap, copyable value; copies share the same handler objects. Logging queues the message
// and returns at once: delivery runs on the log queue thread "com.log.queue", in call order,
// with the copy of the logger taken at the call.
class OSTRANE_EXPORT QLogger {
 public:
  using Level = LogLevel;
  using Handlers = std::vector<std::shared_ptr<QLogHandler>>;

  // 0..5 and 255 convert; any other raw value gives no level.
  static std::optional<Level> levelFromRaw(std::int64_t raw) noexcept;
  // "verbose", "debug", "info", "warn", "error", "fatal", "close".
  static std::string_view levelText(Level level) noexcept;

  QLogger() = default;

  Level level() const noexcept { return level_; }
  void setLevel(Level level) noexcept { level_ = level; }

  const std::weak_ptr<QLoggerObserver>& delegate() const noexcept { return delegate_; }
  void setDelegate(std::weak_ptr<QLoggerObserver> observer) noexcept {
    delegate_ = std::move(observer);
  }

  const Handlers& array() const noexcept;
  void setArray(Handlers handlers) noexcept;
  // Appends a handler; the same handler added twice writes each line twice.
  void add(std::shared_ptr<QLogHandler> handler) noexcept;

  // The first handler that is a T (or derives from T), or null.
  template <typename T>
  std::shared_ptr<T> getLogger() const {
    for (const auto& handler : array())
      if (auto match = std::dynamic_pointer_cast<T>(handler)) return match;
    return nullptr;
  }

  // Queues a finished message; returns at once and never throws.
  void log(QLogMsg msg) const noexcept;

  // logger.warn("Upgrade, failed", code) or logger.warn(ostrane::Tag{"HID"}, "x", 1).
  template <typename... Rest>
  void verbose(detail::FirstItem first, const Rest&... rest) const {
    build(Level::verbose, first, rest...);
  }
  template <typename... Items>
  void verbose(Tag tag, const Items&... items) const {
    buildTagged(Level::verbose, tag, items...);
  }
  template <typename... Rest>
  void warn(detail::FirstItem first, const Rest&... rest) const {
    build(Level::warn, first, rest...);
  }
  template <typename... Items>
  void warn(Tag tag, const Items&... items) const {
    buildTagged(Level::warn, tag, items...);
  }
  template <typename... Rest>
  void error(detail::FirstItem first, const Rest&... rest) const {
    build(Level::error, first, rest...);
  }
  template <typename... Items>
  void error(Tag tag, const Items&... items) const {
    buildTagged(Level::error, tag, items...);
  }

  // Shared handler list, for the log queue's cheap copies.
  const std::shared_ptr<const Handlers>& sharedHandlers() const noexcept { return handlers_; }

 private:
  template <typename... Rest>
  void build(Level level, const detail::FirstItem& first, const Rest&... rest) const {
    detail::LineWriter text;
    first.appendTo(text);
    if constexpr (sizeof...(rest) > 0) {
      text.append(" ");
      detail::appendItems(text, rest...);
    }
    detail::submit(*this, level, nullptr, text.view(), first.site);
  }
  template <typename... Items>
  void buildTagged(Level level, const Tag& tag, const Items&... items) const {
    detail::LineWriter text;
    detail::appendItems(text, items...);
    detail::submit(*this, level, &tag.value, text.view(), tag.site);
  }

  Level level_ = Level::verbose;
  std::weak_ptr<QLoggerObserver> delegate_;
  std::shared_ptr<const Handlers> handlers_;
};

}  // namespace ostrane
