#pragma once

#include "control/ControlReply.h"

namespace vexhal {
class Platform;
class USBHidManager;
}  // namespace vexhal

namespace vexhal::control {

// `vexhalctl doctor`: the camera doctor's findings for every camera the manager has found. The
// result is one object a camera (its "camera" key, "name" and "serial" when known, then the
// doctor's "usable" and "nodes"); the message holds the same as text, each problem followed by
// its fix. A camera that cannot be used makes the reply AccessRefused; none at all, NoCamera.
class DoctorCommand {
 public:
  static ControlReply run(const USBHidManager& manager, const Platform& platform);
};

}  // namespace vexhal::control
