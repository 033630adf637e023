#include "device/uvc/linux/V4l2UvcTransportFactory.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include "device/linux/UdevCameraEnumerator.h"
#include "device/uvc/UVCLog.h"
#include "device/uvc/linux/V4l2UvcControlWatch.h"
#include "device/uvc/linux/V4l2UvcTransport.h"
#include "device/uvc/linux/V4l2VideoControlSet.h"
#include "device/uvc/linux/V4l2VideoControlWatch.h"

namespace vexhal {
namespace {

// Matches the camera at a USB location id (0 is no location).
std::function<bool(const UsbSysfsIdentity&)> atLocation(std::uint32_t locationId) {
  return [locationId](const UsbSysfsIdentity& usb) {
    return usb.locationId != 0 && usb.locationId == static_cast<std::int64_t>(locationId);
  };
}

}  // namespace

std::shared_ptr<UVCTransportFactory> makePlatformUvcTransportFactory() {
  return std::make_shared<V4l2UvcTransportFactory>();
}

V4l2UvcTransportFactory::V4l2UvcTransportFactory()
    : V4l2UvcTransportFactory([this] { return listCameras(log()); }, V4l2Syscalls::system()) {}

V4l2UvcTransportFactory::V4l2UvcTransportFactory(CameraLister lister,
                                                 std::shared_ptr<V4l2Syscalls> syscalls)
    : lister_(std::move(lister)), syscalls_(std::move(syscalls)) {}

std::vector<UdevCamera> V4l2UvcTransportFactory::listCameras(const UVCLog& log) {
  auto cameras = UdevCameraEnumerator::list();
  if (!cameras) {
    log.error("CameraControl Error: udev is unavailable");
    return {};
  }
  return std::move(*cameras);
}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openByLocation(std::uint32_t locationId) {
  return openFirst(atLocation(locationId));
}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openByVendorProduct(
    std::uint16_t vendorId, std::uint16_t productId) {
  return openFirst([vendorId, productId](const UsbSysfsIdentity& usb) {
    return usb.vendorId == vendorId && usb.productId == productId;
  });
}

std::unique_ptr<UVCControlWatch> V4l2UvcTransportFactory::watchByLocation(
    std::uint32_t locationId, UVCControlWatch::Listener listener) {
  const int fd = openFirstNode(atLocation(locationId));
  if (fd < 0) {
    return nullptr;
  }
  return V4l2UvcControlWatch::start(fd, syscalls_, std::move(listener), log());
}

std::unique_ptr<VideoControlSet> V4l2UvcTransportFactory::openControlsByLocation(
    std::uint32_t locationId) {
  const int fd = openFirstNode(atLocation(locationId));
  return fd < 0 ? nullptr : std::make_unique<V4l2VideoControlSet>(fd, syscalls_, log());
}

std::unique_ptr<VideoControlWatch> V4l2UvcTransportFactory::watchControlsByLocation(
    std::uint32_t locationId, const std::vector<std::uint32_t>& ids,
    VideoControlWatch::Listener listener) {
  const int fd = openFirstNode(atLocation(locationId));
  if (fd < 0) {
    return nullptr;
  }
  return V4l2VideoControlWatch::start(fd, syscalls_, ids, std::move(listener), log());
}

std::unique_ptr<UVCTransport> V4l2UvcTransportFactory::openFirst(
    const std::function<bool(const UsbSysfsIdentity&)>& match) {
  const int fd = openFirstNode(match);
  return fd < 0 ? nullptr : std::make_unique<V4l2UvcTransport>(fd, syscalls_);
}

int V4l2UvcTransportFactory::openFirstNode(
    const std::function<bool(const UsbSysfsIdentity&)>& match) {
  for (const UdevCamera& camera : lister_()) {
    if (!camera.usb || !match(*camera.usb)) {
      continue;
    }
    for (const UdevCamera::VideoNode& node : camera.videoNodes) {
      const int fd = syscalls_->open(node.devnode.c_str(), O_RDWR | O_NONBLOCK);
      if (fd < 0) {
        log().error("CameraControl Error: Unable to create a plug-in (%08x)\n",
                    static_cast<unsigned>(-fd));
        return -1;
      }
      v4l2_capability caps{};
      if (const int result = syscalls_->ioctl(fd, VIDIOC_QUERYCAP, &caps); result < 0) {
        log().error(
            "CameraControl Error: Couldn\u2019t create a device interface for the interface (%08x)",
            static_cast<unsigned>(-result));
        syscalls_->close(fd);
        return -1;
      }
      const std::uint32_t deviceCaps =
          (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
      if ((deviceCaps & V4L2_CAP_VIDEO_CAPTURE) == 0) {
        syscalls_->close(fd);  // a metadata node of the same camera
        continue;
      }
      return fd;
    }
  }
  return -1;
}

}  // namespace vexhal
