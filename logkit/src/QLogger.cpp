#include <ostrane/QLogger.h>

#include "LogQueue.h"

#include <ostrane/LogFuncOC.h>

namespace ostrane {

std::optional<QLogger::Level> QLogger::levelFromRaw(std::int64_t raw) noexcept {
  if ((raw >= 0 && raw <= 5) || raw == 255) return static_cast<Level>(raw);
  return std::nullopt;
}

std::string_view QLogger::levelText(Level level) noexcept {
  switch (level) {
    case Level::verbose:
      return "verbose";
    case Level::debug:
      return "debug";
    case Level::info:
      return "info";
    case Level::warn:
      return "warn";
    case Level::error:
      return "error";
    case Level::fatal:
      return "fatal";
    case Level::close:
      return "close";
  }
  return "";
}

const QLogger::Handlers& QLogger::array() const noexcept {
  static const Handlers none;
  return handlers_ ? *handlers_ : none;
}

void QLogger::setArray(Handlers handlers) noexcept {
  try {
    handlers_ = std::make_shared<const Handlers>(std::move(handlers));
  } catch (...) {
  }
}

void QLogger::add(std::shared_ptr<QLogHandler> handler) noexcept {
  try {
    Handlers next = array();
    next.push_back(std::move(handler));
    setArray(std::move(next));
  } catch (...) {
  }
}

void QLogger::log(QLogMsg msg) const noexcept {
  if (rawValue(msg.level) < rawValue(level_)) return;
  try {
    detail::LogQueue::instance().pushPrebuilt(*this, std::move(msg));
  } catch (...) {
  }
}

namespace detail {

void submit(const QLogger& logger, LogLevel level, const std::string_view* tag,
            std::string_view content, const std::source_location& site) noexcept {
  if (rawValue(level) < rawValue(logger.level())) return;
  try {
    LogQueue::instance().pushMessage(logger, level, tag, LogFuncOC::getThreadId(), content, site);
  } catch (...) {
  }
}

}  // namespace detail
}  // namespace ostrane
