#include "device/uvc/linux/V4l2UvcTransportFactory.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include "device/uvc/UVCLog.h"
#include "device/uvc/linux/V4l2UvcTransport.h"
#include "device/uvc/linux/V4l2VideoNodeEnumerator.h"

namespace vexhal {

std::shared_ptr<UVCTransportFactory> makePlatformUvcTransportFactory() {
  return std::make_shared<V4l2UvcTransportFactory>();
}

V4l2UvcTransportFactory::V4l2UvcTransportFactory()
    : V4l2UvcTransportFactory(&V4l2VideoNodeEnumerator::list, V4l2Syscalls::system()) {}

V4l2UvcTransportFactory::V4l2UvcTransportFactory(NodeLister lister, V4l2Syscalls& syscalls)
    : lister_(std::move(lister)), syscalls_(syscalls) {}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openByLocation(std::uint32_t locationId) {
  return openFirst([locationId](const V4l2VideoNode& node) {
    return node.locationId == static_cast<std::int64_t>(locationId);
  });
}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openByVendorProduct(
    std::uint16_t vendorId, std::uint16_t productId) {
  return openFirst([vendorId, productId](const V4l2VideoNode& node) {
    return node.vendorId == vendorId && node.productId == productId;
  });
}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openFirst(
    const std::function<bool(const V4l2VideoNode&)>& match) {
  for (const V4l2VideoNode& node : lister_()) {
    if (!match(node)) {
      continue;
    }
    const int fd = syscalls_.open(node.devnode.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0) {
      UVCLog::error("CameraControl Error: Unable to create a plug-in (%08x)\n",
                    static_cast<unsigned>(-fd));
      return nullptr;
    }
    v4l2_capability caps{};
    if (const int result = syscalls_.ioctl(fd, VIDIOC_QUERYCAP, &caps); result < 0) {
      UVCLog::error(
          "CameraControl Error: Couldn\u2019t create a device interface for the interface (%08x)",
          static_cast<unsigned>(-result));
      syscalls_.close(fd);
      return nullptr;
    }
    const std::uint32_t deviceCaps =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
    if ((deviceCaps & V4L2_CAP_VIDEO_CAPTURE) == 0) {
      syscalls_.close(fd);  // a metadata node of the same camera
      continue;
    }
    return std::make_unique<V4l2UvcTransport>(fd, syscalls_);
  }
  return nullptr;
}

}  // namespace vexhal
