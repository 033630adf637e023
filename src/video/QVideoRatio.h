#pragma once

#include <cstdint>
#include <string>

namespace vexhal::video {

// A named picture size.
struct QVideoRatio {
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::string name;

  bool operator==(const QVideoRatio&) const = default;
};

}  // namespace vexhal::video
