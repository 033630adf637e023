#pragma once

#include "VirtualCamera.h"
#include "device/uvc/VideoControlSet.h"

namespace vexhal::sim {

// Every control of one virtual camera's video node. Used on the main thread, like the camera;
// requests fail with ENODEV while the camera is detached.
class SimVideoControlSet final : public VideoControlSet {
 public:
  explicit SimVideoControlSet(VirtualCamera& camera) : camera_(camera) {}

  std::vector<VideoControl> enumerate() override {
    return camera_.isAttached() ? camera_.videoControls() : std::vector<VideoControl>{};
  }
  int get(std::uint32_t id, std::int64_t& value) override {
    return camera_.getVideoControl(id, value);
  }
  int set(std::uint32_t id, std::int64_t value) override {
    return camera_.setVideoControl(id, value);
  }

 private:
  VirtualCamera& camera_;
};

}  // namespace vexhal::sim
