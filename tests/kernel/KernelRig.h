#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CameraContract.h"
#include "HidGadget.h"
#include "RigGadgetBus.h"
#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"
#include "video/linux/V4l2CaptureBackend.h"

namespace vexhal::kernel::test {

using sim::test::waitUntil;

// Operations that cross the emulated bus (a plug, a stream start) take seconds, not
// milliseconds; the bound only keeps a broken run from hanging.
inline constexpr std::chrono::seconds kBusBound{90};

// The rig's variables this suite needs; the names of those that are not set.
std::vector<std::string> missingRigVariables();
// A rig variable's current value ("" when unset). Plugging may renumber the nodes.
std::string rigVariable(const char* name);
// The lines of the rig's UVC control log.
std::vector<std::string> uvcLogLines();
// Waits for `line` among the log lines after the first `from`; its index when it came. The
// camera side logs a request once it has handled it, which may be after the host's call has
// returned.
std::optional<std::size_t> waitForUvcLogLine(std::size_t from, const std::string& line);
// The log line of a SET_CUR request for `control`.
std::string uvcSetLine(const UVCControlInfo& control, std::int64_t value);

// The virtual camera as the gadget on the rig's bus: its HID side answers on RIG_HIDG, and
// plugging it in and out binds and unbinds the gadget. Its UVC side and its frames are the
// rig's own, which logs each request it receives.
class GadgetCamera final : public sim::test::CameraBackend {
 public:
  GadgetCamera();
  ~GadgetCamera() override;

  sim::VirtualCamera& camera() override { return camera_; }
  std::unique_ptr<HidDiscovery> discovery() override;
  UVCTransportFactory& uvc() override { return uvc_; }
  std::shared_ptr<video::CaptureBackend> capture() override { return capture_; }
  std::string hidKey() override { return rigVariable("RIG_HIDRAW"); }
  // dummy_hcd has one root port: bus N, port path "1".
  std::int64_t locationId() override;
  bool unplug() override;
  bool plug() override;
  bool settle() override;
  bool uvcWasSet(const UVCControlInfo& control, std::int64_t value) override;
  bool sawStream(const video::CaptureFormat& format, double fps) override;
  std::chrono::milliseconds bound() const override { return kBusBound; }

 private:
  sim::VirtualCamera camera_;
  sim::RigGadgetBus bus_;
  std::unique_ptr<sim::HidGadget> gadget_;
  V4l2UvcTransportFactory uvc_;
  std::shared_ptr<video::V4l2CaptureBackend> capture_ =
      std::make_shared<video::V4l2CaptureBackend>();
  std::size_t logStart_ = uvcLogLines().size();
};

}  // namespace vexhal::kernel::test
