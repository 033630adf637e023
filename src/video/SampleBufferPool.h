#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vexhal::video {

// Recycles payload buffers so steady capture does not allocate a frame-sized block per picture.
// Buffers handed out return to the pool when their last holder lets go, even after the pool
// itself is gone (they are then simply freed). Thread-safe.
class SampleBufferPool {
 public:
  explicit SampleBufferPool(std::size_t maxIdle = 6);

  // A buffer resized to `size` bytes (contents unspecified).
  std::shared_ptr<std::vector<std::uint8_t>> acquire(std::size_t size);

  std::size_t idleCount() const;

 private:
  struct Shelf {
    std::mutex mutex;
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> idle;
    std::size_t maxIdle = 0;
  };
  std::shared_ptr<Shelf> shelf_;
};

}  // namespace vexhal::video
