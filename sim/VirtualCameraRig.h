#pragma once

#include <QString>

#include <memory>

#include "SimCaptureBackend.h"
#include "SimControlCommands.h"
#include "SimControlServer.h"
#include "SimUvcTransportFactory.h"
#include "VirtualCamera.h"
#include "device/hid/HidDiscovery.h"

namespace vexhal::sim {

// One virtual camera, plugged in, with everything the program needs to find it: a HID
// discovery, a UVC transport factory and a capture backend, and optionally the control server
// through which the vexhal-sim tool plugs, unplugs and breaks it. Create it on the main thread
// after the application object; it must outlive the managers and capturers that use its parts.
class VirtualCameraRig {
 public:
  static constexpr const char* kDefaultServerName = "vexhal-sim";

  explicit VirtualCameraRig(VirtualCameraIdentity identity = {});
  VirtualCameraRig(const VirtualCameraRig&) = delete;
  VirtualCameraRig& operator=(const VirtualCameraRig&) = delete;
  ~VirtualCameraRig();

  VirtualCamera& camera() { return camera_; }

  // A discovery reporting this rig's camera, for a HID manager.
  std::unique_ptr<HidDiscovery> makeDiscovery();
  std::shared_ptr<UVCTransportFactory> uvcTransportFactory() { return uvcFactory_; }
  std::shared_ptr<video::CaptureBackend> captureBackend() { return captureBackend_; }

  // Answers one control line (see SimControlCommands).
  QString execute(const QString& line) { return commands_.execute(line); }
  // Opens the control server under `name` (in the user's runtime folder unless it is a path);
  // false with the reason in `error`.
  bool listen(const QString& name = QString::fromLatin1(kDefaultServerName),
              QString* error = nullptr);

 private:
  VirtualCamera camera_;
  std::shared_ptr<SimUvcTransportFactory> uvcFactory_;
  std::shared_ptr<SimCaptureBackend> captureBackend_;
  SimControlCommands commands_;
  std::unique_ptr<SimControlServer> server_;
};

}  // namespace vexhal::sim
