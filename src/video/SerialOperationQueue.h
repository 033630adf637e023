#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vexhal::video {

// A work queue that runs one task at a time, in the order added, on its own named thread
// (started with the first task). Waiting tasks can be cancelled all at once.
// Destruction cancels what waits and lets the running task finish; it is safe even from inside
// a task (the thread then ends on its own).
class SerialOperationQueue {
 public:
  explicit SerialOperationQueue(std::string threadName);
  ~SerialOperationQueue();
  SerialOperationQueue(const SerialOperationQueue&) = delete;
  SerialOperationQueue& operator=(const SerialOperationQueue&) = delete;

  void add(std::function<void()> task);
  // Tasks added but not yet started.
  std::size_t waitingCount() const;
  // Drops every task that has not started; returns how many.
  std::size_t cancelAllWaiting();

 private:
  struct State {
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> waiting;
    bool closing = false;
  };
  static void work(const std::shared_ptr<State>& state, const std::string& name);

  std::string threadName_;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace vexhal::video
