#pragma once

#include <QObject>

#include "VirtualCamera.h"
#include "device/uvc/UVCControlWatch.h"

namespace vexhal::sim {

// Watches a virtual camera's image controls: each change made through any of its channels is
// reported later on the main loop, as the kernel queues a control event for every other file
// handle. Ends when the camera detaches; the camera must outlive the watch.
class SimUvcControlWatch final : public UVCControlWatch {
 public:
  SimUvcControlWatch(VirtualCamera& camera, Listener listener);
  ~SimUvcControlWatch() override;
  SimUvcControlWatch(const SimUvcControlWatch&) = delete;
  SimUvcControlWatch& operator=(const SimUvcControlWatch&) = delete;

  bool isWatching() const override { return watching_; }

 private:
  VirtualCamera& camera_;
  Listener listener_;
  bool watching_ = true;
  int controlListener_ = 0;
  int attachListener_ = 0;
  QObject context_;  // reports still queued die with the watch
};

}  // namespace vexhal::sim
