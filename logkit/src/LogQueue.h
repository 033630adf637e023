#pragma once

// The log queue: one worker thread, "com.log.queue", delivers every line in the order of the
// logging calls. Callers fill a slot of a fixed ring (no lock, no allocation once warm) and
// never wait: when the ring is full the line is dropped and counted, and a line saying how
// many were dropped follows when the queue falls idle (or every few thousand lines in a flood). At
// a normal process exit the queue is drained and the worker joined; lines logged after that are
// delivered on the caller's thread. A forked child logs nothing (it has no worker, and the parent's
// threads may hold locks).

#include "LogEntry.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <source_location>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace ostrane::detail {

class LogQueue {
 public:
  static constexpr std::size_t kDefaultCapacity = 8192;
  // While lines are being dropped, a notice goes out after this many deliveries at the latest.
  static constexpr std::uint64_t kDropReportInterval = 4096;

  static LogQueue& instance();
  // Ring size (rounded up to a power of two) for the first instance(). For tests and benchmarks.
  static void setCapacityForTesting(std::size_t slots) noexcept;

  void pushMessage(const QLogger& logger, LogLevel level, const std::string_view* tag,
                   std::uint64_t threadId, std::string_view content,
                   const std::source_location& site) noexcept;
  void pushPrebuilt(const QLogger& logger, QLogMsg msg) noexcept;
  // Waits until everything queued before the call is delivered and the handlers flushed.
  void flush() noexcept;
  // Drains the queue and joins the worker; runs at process exit.
  void shutdown() noexcept;

  bool onWorkerThread() const noexcept;
  std::size_t capacity() const noexcept { return mask_ + 1; }

  // Text of the line that reports dropped lines.
  static std::string droppedNotice(std::uint64_t count);

 private:
  struct Cell {
    std::atomic<std::uint64_t> seq{0};
    LogEntry entry;
  };

  explicit LogQueue(std::size_t capacity);

  template <typename Fill>
  void submit(Fill&& fill) noexcept;
  Cell* claim(std::uint64_t& pos) noexcept;
  void wakeWorker() noexcept;
  bool hasReady() const noexcept;
  bool deliverNext() noexcept;
  void deliverEntry(LogEntry& entry) noexcept;
  void deliver(const QLogger& logger, const QLogMsg& msg) noexcept;
  void reportPendingDrops() noexcept;
  void flushTouched() noexcept;
  void drainSyncLocked() noexcept;
  void run() noexcept;
  void sleepUntilWoken() noexcept;

  std::unique_ptr<Cell[]> cells_;
  std::uint64_t mask_;
  alignas(64) std::atomic<std::uint64_t> enqueuePos_{0};
  alignas(64) std::uint64_t dequeuePos_ = 0;  // owned by the worker, then by sync drains
  std::atomic<std::uint64_t> dropped_{0};

  std::atomic<bool> sleeping_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> silenced_{false};  // in a forked child, or after exit() on the worker
  std::mutex wakeMutex_;
  std::condition_variable wakeCv_;
  bool wakePending_ = false;

  std::mutex syncMutex_;  // serializes delivery on callers' threads once the worker is gone
  std::thread worker_;
  std::atomic<pid_t> workerTid_{0};

  // Worker-side scratch, reused from line to line.
  QLogMsg scratchMsg_;
  std::string scratchLine_;
  std::vector<std::shared_ptr<QLogHandler>> touched_;
  QLogger loggerForDrops_;
  std::uint64_t deliveredSinceDrop_ = 0;
};

}  // namespace ostrane::detail
