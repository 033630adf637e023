#pragma once

#include <optional>
#include <vector>

#include "device/linux/UdevCamera.h"

struct udev_device;

namespace vexhal {

// The one reader of the cameras udev knows: every USB device with hidraw or video4linux nodes,
// with its identity and its nodes, for the HID discovery, the UVC controls and the capture.
class UdevCameraEnumerator {
 public:
  // The devices in udev's order (by system path), their nodes likewise; nothing when udev is
  // unavailable.
  static std::optional<std::vector<UdevCamera>> list();

  // The device of one hidraw or video4linux node (e.g. from a udev monitor), with that node only;
  // no node when it has no device node.
  static UdevCamera cameraOf(udev_device* node);
};

}  // namespace vexhal
