#pragma once

// The process-wide default logger and the logging functions that write through it.
//
//   QLog("CameraList, refreshCameraList", count, name);     // level debug, no tag
//   QLog(ostrane::ThreadId{tid}, "Upgrade, progress", 42);  // with an explicit thread id
//   WarnLog("Root, quit"); WarnLog(ostrane::Tag{"HID"}, "x", 1);
//
// The call site's file, function and line are taken automatically. Calls never block on file work
// and never throw: the line is queued for the log queue thread "com.log.queue". When the queue is
// full (a flood), lines are dropped and a later line in the output says how many. Lines queued
// before a normal process exit (return from main, exit()) are written before the process ends.

#include <ostrane/Export.h>
#include <ostrane/LogItems.h>
#include <ostrane/QLogger.h>

#include <functional>
#include <string_view>

namespace ostrane {

namespace detail {
OSTRANE_EXPORT void submitDefault(LogLevel level, const std::string_view* tag,
                                  const std::uint64_t* threadId, std::string_view content,
                                  const std::source_location& site) noexcept;
OSTRANE_EXPORT bool registerDisplayName(const char* name) noexcept;

template <typename... Rest>
void logDefault(LogLevel level, const std::uint64_t* threadId, const FirstItem& first,
                const Rest&... rest) {
  LineWriter text;
  first.appendTo(text);
  if constexpr (sizeof...(rest) > 0) {
    text.append(" ");
    appendItems(text, rest...);
  }
  submitDefault(level, nullptr, threadId, text.view(), first.site);
}

template <typename... Items>
void logDefaultTagged(LogLevel level, const Tag& tag, const Items&... items) {
  LineWriter text;
  appendItems(text, items...);
  submitDefault(level, &tag.value, nullptr, text.view(), tag.site);
}
}  // namespace detail

// A copy of the default logger. It starts at level verbose with one QFileLogger writing to
// the application's cache directory + "/QLogs".
OSTRANE_EXPORT QLogger ddLog();
// Replaces the default logger; lines logged afterwards use the new value.
OSTRANE_EXPORT void setDdLog(QLogger logger);

// Blocks until every line queued before the call has been delivered and written out.
OSTRANE_EXPORT void flushLogQueue() noexcept;

// Ostrane has no main thread of its own. A host that has one hands over a way to run a task
// there (for Qt: QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection)); the
// completions of getLogList and getDebugLogList then run through it. Without a poster they
// run on the library's background listing thread.
OSTRANE_EXPORT void setMainThreadPoster(std::function<void(std::function<void()>)> poster);

// Without items the content is empty.
inline void QLog(std::source_location site = std::source_location::current()) {
  detail::submitDefault(LogLevel::debug, nullptr, nullptr, {}, site);
}
inline void VerboseLog(std::source_location site = std::source_location::current()) {
  detail::submitDefault(LogLevel::verbose, nullptr, nullptr, {}, site);
}
inline void WarnLog(std::source_location site = std::source_location::current()) {
  detail::submitDefault(LogLevel::warn, nullptr, nullptr, {}, site);
}
inline void ErrorLog(std::source_location site = std::source_location::current()) {
  detail::submitDefault(LogLevel::error, nullptr, nullptr, {}, site);
}

template <typename... Rest>
void QLog(detail::FirstItem first, const Rest&... rest) {
  detail::logDefault(LogLevel::debug, nullptr, first, rest...);
}
template <typename... Rest>
void QLog(ThreadId threadId, const Rest&... rest) {
  detail::LineWriter text;
  detail::appendItems(text, rest...);
  detail::submitDefault(LogLevel::debug, nullptr, &threadId.value, text.view(), threadId.site);
}

template <typename... Rest>
void VerboseLog(detail::FirstItem first, const Rest&... rest) {
  detail::logDefault(LogLevel::verbose, nullptr, first, rest...);
}
template <typename... Items>
void VerboseLog(Tag tag, const Items&... items) {
  detail::logDefaultTagged(LogLevel::verbose, tag, items...);
}
template <typename... Rest>
void WarnLog(detail::FirstItem first, const Rest&... rest) {
  detail::logDefault(LogLevel::warn, nullptr, first, rest...);
}
template <typename... Items>
void WarnLog(Tag tag, const Items&... items) {
  detail::logDefaultTagged(LogLevel::warn, tag, items...);
}
template <typename... Rest>
void ErrorLog(detail::FirstItem first, const Rest&... rest) {
  detail::logDefault(LogLevel::error, nullptr, first, rest...);
}
template <typename... Items>
void ErrorLog(Tag tag, const Items&... items) {
  detail::logDefaultTagged(LogLevel::error, tag, items...);
}

}  // namespace ostrane

// Names the program in its log file names and its cache directory. Write it once at namespace
// scope in the program, e.g. OSTRANE_DISPLAY_NAME("VexhalTools"); it registers while static
// objects are initialised, so no call in main is needed. Without it, the executable's file
// name is used.
#define OSTRANE_DISPLAY_NAME(name)                           \
  namespace {                                                \
  [[maybe_unused]] const bool ostraneDisplayNameRegistered = \
      ::ostrane::detail::registerDisplayName(name);          \
  }
