#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexhal {

// A video4linux device node and the USB device it belongs to.
struct V4l2VideoNode {
  std::string devnode;                     // /dev/videoN
  std::optional<std::int64_t> locationId;  // from the USB device's busnum and devpath
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

}  // namespace vexhal
