#pragma once

#include <ostrane/Export.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace ostrane {

// Settings of a QFileLogger, shared by reference (std::shared_ptr): changes made through any
// holder take effect at the logger's next write. Safe to change from any thread.
class OSTRANE_EXPORT QFileLogConfig {
 public:
  static constexpr std::uint64_t kDefaultLimitFileSize = 52428800;   // 50 MiB
  static constexpr std::int64_t kDefaultLimitFileInterval = 604800;  // 7 days, in seconds

  // cacheDir defaults to the application's cache directory + "/QLogs".
  QFileLogConfig();
  explicit QFileLogConfig(std::string cacheDir);

  std::string cacheDir() const;
  void setCacheDir(std::string dir);

  // Size in bytes at or above which the current file is closed and a new one started.
  std::uint64_t limitFileSize() const noexcept {
    return limitFileSize_.load(std::memory_order_relaxed);
  }
  void setLimitFileSize(std::uint64_t bytes) noexcept {
    limitFileSize_.store(bytes, std::memory_order_relaxed);
  }

  // Age in seconds beyond which compaction removes an entry of cacheDir.
  std::int64_t limitFileInterval() const noexcept {
    return limitFileInterval_.load(std::memory_order_relaxed);
  }
  void setLimitFileInterval(std::int64_t seconds) noexcept {
    limitFileInterval_.store(seconds, std::memory_order_relaxed);
  }

 private:
  mutable std::mutex mutex_;
  std::string cacheDir_;
  std::atomic<std::uint64_t> limitFileSize_{kDefaultLimitFileSize};
  std::atomic<std::int64_t> limitFileInterval_{kDefaultLimitFileInterval};
};

}  // namespace ostrane
