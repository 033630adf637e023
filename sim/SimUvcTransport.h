#pragma once

#include "VirtualCamera.h"
#include "device/uvc/UVCTransport.h"

namespace vexhal::sim {

// One virtual camera's video-control channel: hands each request record to the camera.
// Used on the main thread, like the camera.
class SimUvcTransport final : public UVCTransport {
 public:
  explicit SimUvcTransport(VirtualCamera& camera) : camera_(camera) {}

  int controlRequest(UVCControlRequest& request) override { return camera_.uvcRequest(request); }

 private:
  VirtualCamera& camera_;
};

}  // namespace vexhal::sim
