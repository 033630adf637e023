#include <ostrane/Logging.h>

#include "DefaultLogger.h"
#include "ListingWorker.h"
#include "LogQueue.h"

#include <ostrane/LogFuncOC.h>
#include <ostrane/QFileLogger.h>

#include <atomic>
#include <mutex>

namespace ostrane {
namespace {

struct DefaultLoggerState {
  std::mutex mutex;
  QLogger logger;
  std::atomic<std::uint64_t> version{1};
};

// Created on first use and never torn down, so logging during static destruction still works.
DefaultLoggerState& state() {
  static DefaultLoggerState* s = [] {
    auto* created = new DefaultLoggerState;
    created->logger.add(std::make_shared<QFileLogger>());
    return created;
  }();
  return *s;
}

struct ThreadCopy {
  std::uint64_t version = 0;
  QLogger logger;
  ~ThreadCopy();
};

thread_local bool threadCopyGone = false;
thread_local ThreadCopy threadCopy;

ThreadCopy::~ThreadCopy() { threadCopyGone = true; }

}  // namespace

QLogger ddLog() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.logger;
}

void setDdLog(QLogger logger) {
  auto& s = state();
  {
    std::lock_guard lock(s.mutex);
    std::swap(s.logger, logger);
    s.version.fetch_add(1, std::memory_order_release);
  }
  // The previous value is released here, outside the lock.
}

void flushLogQueue() noexcept {
  try {
    detail::LogQueue::instance().flush();
  } catch (...) {
  }
}

void setMainThreadPoster(std::function<void(std::function<void()>)> poster) {
  detail::ListingWorker::setPoster(std::move(poster));
}

namespace detail {

const QLogger& defaultLoggerForThisThread(QLogger& fallback) {
  auto& s = state();
  if (threadCopyGone) {
    // This thread's storage is being torn down: take a copy under the lock.
    std::lock_guard lock(s.mutex);
    fallback = s.logger;
    return fallback;
  }
  const std::uint64_t version = s.version.load(std::memory_order_acquire);
  if (threadCopy.version != version) {
    std::lock_guard lock(s.mutex);
    threadCopy.logger = s.logger;
    threadCopy.version = s.version.load(std::memory_order_relaxed);
  }
  return threadCopy.logger;
}

void submitDefault(LogLevel level, const std::string_view* tag, const std::uint64_t* threadId,
                   std::string_view content, const std::source_location& site) noexcept {
  try {
    QLogger fallback;
    const QLogger& logger = defaultLoggerForThisThread(fallback);
    if (rawValue(level) < rawValue(logger.level())) return;
    LogQueue::instance().pushMessage(
        logger, level, tag, threadId ? *threadId : LogFuncOC::getThreadId(), content, site);
  } catch (...) {
  }
}

}  // namespace detail
}  // namespace ostrane
