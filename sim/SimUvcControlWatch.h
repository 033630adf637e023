#pragma once

#include "SimVideoControlWatch.h"
#include "VirtualCamera.h"
#include "device/uvc/UVCControlWatch.h"

namespace vexhal::sim {

// Watches a virtual camera's image controls: a watch on their video-node controls that
// reports value changes only. Ends when the camera detaches; the camera must outlive the watch.
class SimUvcControlWatch final : public UVCControlWatch {
 public:
  SimUvcControlWatch(VirtualCamera& camera, Listener listener)
      : watch_(camera, {kUvcWatchedControlIds.begin(), kUvcWatchedControlIds.end()},
               forImageControls(std::move(listener))) {}

  bool isWatching() const override { return watch_.isWatching(); }

 private:
  SimVideoControlWatch watch_;
};

}  // namespace vexhal::sim
