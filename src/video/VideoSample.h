#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vexhal::video {

// One captured picture. The payload is owned by the sample (never a driver buffer), so a sample
// may wait in a queue or outlive the capture session.
struct VideoSample {
  std::shared_ptr<const std::vector<std::uint8_t>> payload;
  std::uint32_t pixelFormat = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  // Monotonic clock, nanoseconds, when the picture was captured.
  std::int64_t timestampNs = 0;

  std::span<const std::uint8_t> bytes() const {
    return payload ? std::span<const std::uint8_t>(*payload) : std::span<const std::uint8_t>();
  }
};

}  // namespace vexhal::video
