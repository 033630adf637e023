#pragma once

#include <cstdint>
#include <memory>

#include "device/linux/V4l2Syscalls.h"
#include "device/uvc/UVCControlWatch.h"
#include "device/uvc/UVCLog.h"
#include "device/uvc/linux/V4l2VideoControlWatch.h"

namespace vexhal {

// Watches the image controls on a camera's video node: a watch on their V4L2 controls that
// reports value changes only. Owns the node's descriptor through that watch.
class V4l2UvcControlWatch final : public UVCControlWatch {
 public:
  // Takes `fd`; null, with the reason logged and `fd` closed, when a subscription is refused.
  static std::unique_ptr<V4l2UvcControlWatch> start(int fd, std::shared_ptr<V4l2Syscalls> syscalls,
                                                    Listener listener, UVCLog log) {
    auto watch = V4l2VideoControlWatch::start(
        fd, std::move(syscalls), {kUvcWatchedControlIds.begin(), kUvcWatchedControlIds.end()},
        forImageControls(std::move(listener)), std::move(log));
    return watch ? std::unique_ptr<V4l2UvcControlWatch>(new V4l2UvcControlWatch(std::move(watch)))
                 : nullptr;
  }

  bool isWatching() const override { return watch_->isWatching(); }

 private:
  explicit V4l2UvcControlWatch(std::unique_ptr<V4l2VideoControlWatch> watch)
      : watch_(std::move(watch)) {}

  std::unique_ptr<V4l2VideoControlWatch> watch_;
};

}  // namespace vexhal
