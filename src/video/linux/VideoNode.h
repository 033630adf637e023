#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexhal::video {

// A video4linux node as udev describes it, with the USB device it belongs to (if any).
struct VideoNode {
  struct UsbParent {
    int busNumber = 0;
    std::string devpath;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
  };

  std::string devnode;
  std::string name;
  std::optional<UsbParent> usb;
};

}  // namespace vexhal::video
