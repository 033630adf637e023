#include "video/SampleBufferPool.h"

namespace vexhal::video {

SampleBufferPool::SampleBufferPool(std::size_t maxIdle) : shelf_(std::make_shared<Shelf>()) {
  shelf_->maxIdle = maxIdle;
}

std::shared_ptr<std::vector<std::uint8_t>> SampleBufferPool::acquire(std::size_t size) {
  std::unique_ptr<std::vector<std::uint8_t>> buffer;
  {
    const std::lock_guard lock(shelf_->mutex);
    if (!shelf_->idle.empty()) {
      buffer = std::move(shelf_->idle.back());
      shelf_->idle.pop_back();
    }
  }
  if (!buffer) buffer = std::make_unique<std::vector<std::uint8_t>>();
  buffer->resize(size);

  std::weak_ptr<Shelf> home = shelf_;
  return {buffer.release(), [home](std::vector<std::uint8_t>* released) {
            std::unique_ptr<std::vector<std::uint8_t>> owned(released);
            if (const auto shelf = home.lock()) {
              const std::lock_guard lock(shelf->mutex);
              if (shelf->idle.size() < shelf->maxIdle) shelf->idle.push_back(std::move(owned));
            }
          }};
}

std::size_t SampleBufferPool::idleCount() const {
  const std::lock_guard lock(shelf_->mutex);
  return shelf_->idle.size();
}

}  // namespace vexhal::video
