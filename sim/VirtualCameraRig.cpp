#include "VirtualCameraRig.h"

#include "SimHidDiscovery.h"

namespace vexhal::sim {

VirtualCameraRig::VirtualCameraRig(VirtualCameraIdentity identity)
    : camera_(std::move(identity)),
      uvcFactory_(std::make_shared<SimUvcTransportFactory>(std::vector{&camera_})),
      captureBackend_(std::make_shared<SimCaptureBackend>(std::vector{&camera_})),
      commands_(camera_) {
  camera_.plug();
}

VirtualCameraRig::~VirtualCameraRig() {
  // Capture threads read the camera: they end before it goes.
  captureBackend_->stop({});
}

std::unique_ptr<HidDiscovery> VirtualCameraRig::makeDiscovery() {
  return std::make_unique<SimHidDiscovery>(std::vector{&camera_});
}

bool VirtualCameraRig::listen(const QString& name, QString* error) {
  if (!server_) {
    server_ = std::make_unique<SimControlServer>(
        [this](const QString& line) { return commands_.execute(line); });
  }
  return server_->listen(name, error);
}

}  // namespace vexhal::sim
