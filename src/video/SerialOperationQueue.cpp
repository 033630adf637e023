#include "video/SerialOperationQueue.h"

#include <pthread.h>

namespace vexhal::video {

SerialOperationQueue::SerialOperationQueue(std::string threadName)
    : threadName_(std::move(threadName)), state_(std::make_shared<State>()) {}

SerialOperationQueue::~SerialOperationQueue() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->closing = true;
    state_->waiting.clear();
  }
  state_->wake.notify_all();
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void SerialOperationQueue::add(std::function<void()> task) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->waiting.push_back(std::move(task));
    if (!thread_.joinable())
      thread_ = std::thread(&SerialOperationQueue::work, state_, threadName_);
  }
  state_->wake.notify_one();
}

std::size_t SerialOperationQueue::waitingCount() const {
  const std::lock_guard lock(state_->mutex);
  return state_->waiting.size();
}

std::size_t SerialOperationQueue::cancelAllWaiting() {
  std::deque<std::function<void()>> dropped;
  {
    const std::lock_guard lock(state_->mutex);
    dropped.swap(state_->waiting);
  }
  // The tasks (and what they hold) are released outside the lock.
  return dropped.size();
}

void SerialOperationQueue::work(const std::shared_ptr<State>& state, const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(state->mutex);
      state->wake.wait(lock, [&state] { return state->closing || !state->waiting.empty(); });
      if (state->closing) return;
      task = std::move(state->waiting.front());
      state->waiting.pop_front();
    }
    task();
  }
}

}  // namespace vexhal::video
