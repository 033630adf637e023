#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/linux/UsbSysfsIdentity.h"

namespace vexhal {

// One USB device with the hidraw and video4linux nodes udev lists for it; or a single node that
// hangs off no USB device.
struct UdevCamera {
  struct HidrawNode {
    std::string devnode;     // /dev/hidrawN
    std::string hidSyspath;  // the HID device it belongs to; empty when it has none
  };
  struct VideoNode {
    std::string devnode;  // /dev/videoN
    std::string name;     // the driver's name for the node; may be empty
    bool capture = true;  // false when udev's probe says the node does not capture (metadata)
  };

  std::string usbSyspath;               // empty when not on USB
  std::optional<UsbSysfsIdentity> usb;  // nothing when not on USB or its attributes are unreadable
  std::vector<HidrawNode> hidrawNodes;
  std::vector<VideoNode> videoNodes;
};

}  // namespace vexhal
