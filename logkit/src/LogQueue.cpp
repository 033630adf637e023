#include "LogQueue.h"

#include "Clock.h"
#include "LibraryNotice.h"

#include <ostrane/LogFuncOC.h>
#include <ostrane/Logging.h>

#include <bit>
#include <charconv>
#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

namespace ostrane::detail {

struct Barrier {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;

  // Notifies under the lock: the waiter's stack frame owns this barrier and may end as soon as
  // it sees done, so nothing may touch the barrier after the lock is released.
  void open() {
    std::lock_guard lock(mutex);
    done = true;
    cv.notify_all();
  }
};

namespace {

std::atomic<std::size_t> requestedCapacity{LogQueue::kDefaultCapacity};
LogQueue* theQueue = nullptr;

void cpuRelax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

void LogEntry::materialize(QLogMsg& msg) const {
  msg.content.assign(contentView());
  msg.date.assign(date, sizeof(date));
  msg.file.assign(file);
  msg.method.assign(method);
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof(buf), line);
  msg.line.assign(buf, res.ptr);
  if (hasTag) {
    if (!msg.tag) msg.tag.emplace();
    msg.tag->assign(tag);
  } else {
    msg.tag.reset();
  }
  msg.level = level;
  msg.threadId = threadId;
  msg.pId = pId;
}

void LogEntry::release() noexcept {
  logger = QLogger();
  prebuilt.reset();
  barrier = nullptr;
  if (contentLong.capacity() > 4096) std::string().swap(contentLong);
  if (tag.capacity() > 256) std::string().swap(tag);
}

void LogQueue::setCapacityForTesting(std::size_t slots) noexcept {
  requestedCapacity.store(slots, std::memory_order_relaxed);
}

LogQueue& LogQueue::instance() {
  // Never destroyed: lines logged by static destructors after the exit drain still find it.
  static LogQueue* queue = [] {
    auto* q = new LogQueue(requestedCapacity.load(std::memory_order_relaxed));
    theQueue = q;
    std::atexit([] { theQueue->shutdown(); });
    pthread_atfork(nullptr, nullptr, [] {
      // A forked child has no worker, and locks of the parent's threads may be held for
      // ever: it logs nothing until it execs, rather than risk hanging.
      theQueue->silenced_.store(true);
    });
    return q;
  }();
  return *queue;
}

LogQueue::LogQueue(std::size_t capacity)
    : cells_(std::make_unique<Cell[]>(std::bit_ceil(std::max<std::size_t>(capacity, 2)))),
      mask_(std::bit_ceil(std::max<std::size_t>(capacity, 2)) - 1) {
  for (std::uint64_t i = 0; i <= mask_; ++i) cells_[i].seq.store(i, std::memory_order_relaxed);
  worker_ = std::thread([this] { run(); });
}

bool LogQueue::onWorkerThread() const noexcept {
  return workerTid_.load(std::memory_order_relaxed) == static_cast<pid_t>(LogFuncOC::getThreadId());
}

LogQueue::Cell* LogQueue::claim(std::uint64_t& pos) noexcept {
  pos = enqueuePos_.load(std::memory_order_relaxed);
  for (;;) {
    Cell& cell = cells_[pos & mask_];
    const std::uint64_t seq = cell.seq.load(std::memory_order_acquire);
    const auto diff = static_cast<std::int64_t>(seq - pos);
    if (diff == 0) {
      if (enqueuePos_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) return &cell;
    } else if (diff < 0) {
      return nullptr;  // full
    } else {
      pos = enqueuePos_.load(std::memory_order_relaxed);
    }
  }
}

template <typename Fill>
void LogQueue::submit(Fill&& fill) noexcept {
  if (silenced_.load(std::memory_order_relaxed)) return;
  if (stopped_.load(std::memory_order_acquire)) {
    std::lock_guard lock(syncMutex_);
    drainSyncLocked();
    LogEntry entry;
    try {
      fill(entry);
      deliverEntry(entry);
    } catch (...) {
    }
    flushTouched();
    return;
  }
  std::uint64_t pos = 0;
  Cell* cell = claim(pos);
  if (!cell) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  try {
    fill(cell->entry);
  } catch (...) {
    cell->entry.kind = LogEntry::Kind::barrier;  // delivered as nothing
    cell->entry.barrier = nullptr;
  }
  cell->seq.store(pos + 1, std::memory_order_release);
  wakeWorker();
  // The worker may have gone between the check above and the publication: deliver it here.
  if (stopped_.load(std::memory_order_seq_cst)) {
    std::lock_guard lock(syncMutex_);
    drainSyncLocked();
    flushTouched();
  }
}

void LogQueue::pushMessage(const QLogger& logger, LogLevel level, const std::string_view* tag,
                           std::uint64_t threadId, std::string_view content,
                           const std::source_location& site) noexcept {
  submit([&](LogEntry& e) {
    e.kind = LogEntry::Kind::message;
    e.level = level;
    e.hasTag = tag != nullptr;
    if (tag) e.tag.assign(*tag);
    e.line = site.line();
    e.file = site.file_name();
    e.method = site.function_name();
    e.threadId = threadId;
    e.pId = LogFuncOC::getProgressId();
    formatLineDate(nowNs(), e.date);
    e.setContent(content);
    e.logger = logger;
  });
}

void LogQueue::pushPrebuilt(const QLogger& logger, QLogMsg msg) noexcept {
  try {
    auto owned = std::make_unique<QLogMsg>(std::move(msg));
    submit([&](LogEntry& e) {
      e.kind = LogEntry::Kind::prebuilt;
      e.prebuilt = std::move(owned);
      e.logger = logger;
    });
  } catch (...) {
  }
}

void LogQueue::wakeWorker() noexcept {
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!sleeping_.load(std::memory_order_relaxed)) return;
  {
    std::lock_guard lock(wakeMutex_);
    wakePending_ = true;
  }
  wakeCv_.notify_one();
}

bool LogQueue::hasReady() const noexcept {
  return cells_[dequeuePos_ & mask_].seq.load(std::memory_order_acquire) == dequeuePos_ + 1;
}

bool LogQueue::deliverNext() noexcept {
  Cell& cell = cells_[dequeuePos_ & mask_];
  if (cell.seq.load(std::memory_order_acquire) != dequeuePos_ + 1) return false;
  deliverEntry(cell.entry);
  if (dropped_.load(std::memory_order_relaxed) != 0) {
    // Lines are being dropped: remember whose they probably were, and say so now and then
    // rather than after every gap, so a flood does not fill the file with notices.
    if (cell.entry.kind != LogEntry::Kind::barrier) loggerForDrops_ = cell.entry.logger;
    if (++deliveredSinceDrop_ >= kDropReportInterval) reportPendingDrops();
  }
  cell.entry.release();
  cell.seq.store(dequeuePos_ + mask_ + 1, std::memory_order_release);
  ++dequeuePos_;
  return true;
}

void LogQueue::deliverEntry(LogEntry& entry) noexcept {
  try {
    switch (entry.kind) {
      case LogEntry::Kind::message:
        entry.materialize(scratchMsg_);
        deliver(entry.logger, scratchMsg_);
        break;
      case LogEntry::Kind::prebuilt:
        if (entry.prebuilt) deliver(entry.logger, *entry.prebuilt);
        break;
      case LogEntry::Kind::barrier:
        if (entry.barrier) {
          flushTouched();
          entry.barrier->open();
        }
        break;
    }
  } catch (...) {
  }
}

void LogQueue::deliver(const QLogger& logger, const QLogMsg& msg) noexcept {
  if (rawValue(msg.level) < rawValue(logger.level())) return;
  if (!logger.delegate().expired()) {
    if (auto observer = logger.delegate().lock()) {
      try {
        scratchLine_.clear();
        msg.appendFormatted(scratchLine_);
        observer->onLog(msg.level, scratchLine_);
      } catch (...) {
      }
      return;
    }
  }
  for (const auto& handler : logger.array()) {
    if (!handler) continue;
    try {
      scratchLine_ = handler->formatLog(msg);
      handler->log(scratchLine_);
    } catch (...) {
    }
    bool known = false;
    for (const auto& t : touched_) known = known || t == handler;
    if (!known) {
      try {
        touched_.push_back(handler);
      } catch (...) {
      }
    }
  }
}

std::string LogQueue::droppedNotice(std::uint64_t count) {
  return "Log queue full, " + std::to_string(count) + " lines dropped";
}

void LogQueue::reportPendingDrops() noexcept {
  deliveredSinceDrop_ = 0;
  const std::uint64_t count = dropped_.exchange(0, std::memory_order_relaxed);
  if (count == 0) return;
  try {
    const bool known = !loggerForDrops_.array().empty() || !loggerForDrops_.delegate().expired();
    QLogger target = known ? loggerForDrops_ : ddLog();
    loggerForDrops_ = QLogger();
    const QLogMsg notice = libraryNotice(droppedNotice(count), "LogQueue", "deliver");
    // The notice is about lost lines, so it passes whatever the threshold.
    target.setLevel(LogLevel::verbose);
    deliver(target, notice);
  } catch (...) {
  }
}

void LogQueue::flushTouched() noexcept {
  for (auto& handler : touched_) {
    try {
      handler->flush();
    } catch (...) {
    }
  }
  touched_.clear();
}

void LogQueue::drainSyncLocked() noexcept {
  while (deliverNext()) {
  }
}

void LogQueue::flush() noexcept {
  if (silenced_.load(std::memory_order_relaxed)) return;
  if (stopped_.load(std::memory_order_acquire)) {
    std::lock_guard lock(syncMutex_);
    drainSyncLocked();
    flushTouched();
    return;
  }
  if (onWorkerThread()) {
    flushTouched();
    return;
  }
  Barrier barrier;
  for (;;) {
    std::uint64_t pos = 0;
    if (Cell* cell = claim(pos)) {
      cell->entry.kind = LogEntry::Kind::barrier;
      cell->entry.barrier = &barrier;
      cell->seq.store(pos + 1, std::memory_order_release);
      wakeWorker();
      break;
    }
    if (stopped_.load(std::memory_order_acquire)) {
      flush();
      return;
    }
    std::this_thread::yield();
  }
  if (stopped_.load(std::memory_order_seq_cst)) {
    std::lock_guard lock(syncMutex_);
    drainSyncLocked();
  }
  std::unique_lock lock(barrier.mutex);
  barrier.cv.wait(lock, [&] { return barrier.done; });
}

void LogQueue::sleepUntilWoken() noexcept {
  sleeping_.store(true, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!hasReady() && !stopping_.load(std::memory_order_relaxed)) {
    std::unique_lock lock(wakeMutex_);
    wakeCv_.wait(lock, [&] { return wakePending_ || stopping_.load(std::memory_order_relaxed); });
    wakePending_ = false;
  }
  sleeping_.store(false, std::memory_order_relaxed);
}

void LogQueue::run() noexcept {
  pthread_setname_np(pthread_self(), "com.log.queue");
  workerTid_.store(static_cast<pid_t>(LogFuncOC::getThreadId()), std::memory_order_relaxed);
  for (;;) {
    if (deliverNext()) continue;
    if (dropped_.load(std::memory_order_relaxed) != 0) reportPendingDrops();
    flushTouched();
    if (stopping_.load(std::memory_order_acquire)) {
      if (hasReady()) continue;
      break;
    }
    bool ready = false;
    for (int spin = 0; spin < 64 && !ready; ++spin) {
      cpuRelax();
      ready = hasReady();
    }
    if (!ready) sleepUntilWoken();
  }
}

void LogQueue::shutdown() noexcept {
  if (silenced_.load()) return;
  {
    std::lock_guard lock(wakeMutex_);
    if (stopping_.load() && stopped_.load()) return;
    stopping_.store(true);
  }
  wakeCv_.notify_all();
  if (onWorkerThread()) {
    // exit() from inside a delivery: the worker cannot join itself, and the line it is
    // delivering must not be delivered again. What was delivered is written out; the rest
    // of the queue is given up.
    silenced_.store(true);
    flushTouched();
    return;
  }
  if (worker_.joinable()) {
    try {
      worker_.join();
    } catch (...) {
    }
  }
  stopped_.store(true, std::memory_order_seq_cst);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  std::lock_guard lock(syncMutex_);
  drainSyncLocked();
  flushTouched();
}

}  // namespace ostrane::detail
