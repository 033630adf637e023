#pragma once

#include <QObject>

#include <cstdint>
#include <vector>

#include "VirtualCamera.h"
#include "device/uvc/VideoControlWatch.h"

namespace vexhal::sim {

// Watches chosen controls of a virtual camera: each change of their values or flags, made
// through any channel of the camera, is reported later on the main loop, as the kernel queues a
// control event for every other file handle. Ends when the camera detaches; the camera must
// outlive the watch.
class SimVideoControlWatch final : public VideoControlWatch {
 public:
  SimVideoControlWatch(VirtualCamera& camera, std::vector<std::uint32_t> ids, Listener listener);
  ~SimVideoControlWatch() override;
  SimVideoControlWatch(const SimVideoControlWatch&) = delete;
  SimVideoControlWatch& operator=(const SimVideoControlWatch&) = delete;

  bool isWatching() const override { return watching_; }

 private:
  VirtualCamera& camera_;
  std::vector<std::uint32_t> ids_;
  Listener listener_;
  bool watching_ = true;
  int controlListener_ = 0;
  int attachListener_ = 0;
  QObject context_;  // reports still queued die with the watch
};

}  // namespace vexhal::sim
