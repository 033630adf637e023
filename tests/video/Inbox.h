#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace vexhal::video::testing {

// What other threads hand to the test, kept in arrival order under a lock. Waits are bounded
// only as a safety net; no test depends on how fast anything arrives.
template <typename T>
class Inbox {
 public:
  void push(T item) {
    const std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
    changed_.notify_all();
  }
  std::vector<T> items() const {
    const std::lock_guard lock(mutex_);
    return items_;
  }
  std::size_t size() const { return items().size(); }
  // Waits for at least `count` items; false when they did not come.
  bool waitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20),
                             [&] { return items_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<T> items_;
};

}  // namespace vexhal::video::testing
