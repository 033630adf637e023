#pragma once

#include <string>

namespace vexhal::video {

// One video capture device as the capture seam lists it.
struct CaptureDevice {
  // Pairs the device with its camera's HID side: "0x" + location id + vendor and product id.
  std::string uniqueId;
  std::string name;
  std::string modelId;
  // Backend-specific address of the device (the V4L2 node path on Linux).
  std::string path;

  bool operator==(const CaptureDevice&) const = default;
};

}  // namespace vexhal::video
