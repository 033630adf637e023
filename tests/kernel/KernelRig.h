#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HidGadget.h"
#include "RigGadgetBus.h"
#include "SimTestSupport.h"
#include "VirtualCamera.h"

namespace vexhal::kernel::test {

using sim::test::waitUntil;

inline constexpr std::uint16_t kVendorId = 0xB206;
inline constexpr std::uint16_t kProductId = 0xB215;
// Operations that cross the emulated bus (a plug, a stream start) take seconds, not
// milliseconds; the bound only keeps a broken run from hanging.
inline constexpr std::chrono::seconds kBusBound{90};

// The rig's variables this suite needs; the names of those that are not set.
std::vector<std::string> missingRigVariables();
// A rig variable's current value ("" when unset). Plugging may renumber the nodes.
std::string rigVariable(const char* name);

// The USB bus number of the device a hidraw or video node belongs to, read from sysfs; 0 when
// the node has no USB parent.
int usbBusNumberOf(const std::string& node);

// The lines of the rig's UVC control log.
std::vector<std::string> uvcLogLines();
// Waits for `line` among the log lines after the first `from`. The camera side logs a request
// once it has handled it, which may be after the host's call has returned.
bool waitForUvcLogLine(std::size_t from, const std::string& line);

// The virtual camera as the gadget on the rig's bus: its HID side answers on RIG_HIDG, and
// plugging it in and out binds and unbinds the gadget.
class GadgetCamera {
 public:
  GadgetCamera();
  ~GadgetCamera();

  // Takes the camera off the bus, or puts it back; true once the host has seen it.
  bool unplug();
  bool plug();
  // Waits for the host to see the camera's last attach or detach (a restart, for instance).
  bool settle();

  sim::VirtualCamera camera;
  sim::RigGadgetBus bus;
  std::unique_ptr<sim::HidGadget> gadget;
};

}  // namespace vexhal::kernel::test
