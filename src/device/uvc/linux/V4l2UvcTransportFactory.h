#pragma once

#include <functional>
#include <vector>

#include "device/uvc/UVCTransportFactory.h"
#include "device/uvc/linux/V4l2Syscalls.h"
#include "device/uvc/linux/V4l2VideoNode.h"

namespace vexhal {

// Finds the camera's video capture node among the video4linux nodes and opens it for control
// requests. A camera has several nodes (capture and metadata); only one with video capture
// carries the controls we use, and the first such node of the device is taken.
class V4l2UvcTransportFactory final : public UVCTransportFactory {
 public:
  using NodeLister = std::function<std::vector<V4l2VideoNode>()>;

  V4l2UvcTransportFactory();
  V4l2UvcTransportFactory(NodeLister lister, V4l2Syscalls& syscalls);

  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override;
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t vendorId,
                                                    std::uint16_t productId) override;

 private:
  std::unique_ptr<UVCTransport> openFirst(const std::function<bool(const V4l2VideoNode&)>& match);

  NodeLister lister_;
  V4l2Syscalls& syscalls_;
};

}  // namespace vexhal
