#pragma once

#include "device/uvc/UVCTransport.h"
#include <memory>

#include "device/linux/V4l2Syscalls.h"

namespace vexhal {

// Carries UVC request records to a camera through the uvcvideo driver, which owns the
// video-control interface: camera-terminal and processing-unit controls become V4L2 controls,
// requests to any other unit go to extension units unchanged. Owns the video node's descriptor.
class V4l2UvcTransport final : public UVCTransport {
 public:
  V4l2UvcTransport(int fd, std::shared_ptr<V4l2Syscalls> syscalls);
  ~V4l2UvcTransport() override;
  V4l2UvcTransport(const V4l2UvcTransport&) = delete;
  V4l2UvcTransport& operator=(const V4l2UvcTransport&) = delete;

  // Returns 0 or an errno value: EOPNOTSUPP for a record the driver cannot carry, EINVAL for
  // a length that does not fit the control, ERANGE for a value V4L2 cannot hold, or the
  // driver's own error.
  int controlRequest(UVCControlRequest& request) override;

 private:
  int standardControl(UVCControlRequest& request, int unit, int selector);
  int extensionUnitQuery(UVCControlRequest& request, int unit, int selector);

  int fd_;
  std::shared_ptr<V4l2Syscalls> syscalls_;
};

}  // namespace vexhal
