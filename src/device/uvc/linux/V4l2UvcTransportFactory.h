#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "device/linux/UdevCamera.h"
#include "device/linux/V4l2Syscalls.h"
#include "device/uvc/UVCTransportFactory.h"

namespace vexhal {

// Finds the camera's video capture node among its video4linux nodes and opens it for control
// requests. A camera has several nodes (capture and metadata); only one with video capture
// carries the controls we use, and the first such node of the device is taken.
class V4l2UvcTransportFactory final : public UVCTransportFactory {
 public:
  using CameraLister = std::function<std::vector<UdevCamera>()>;

  V4l2UvcTransportFactory();
  V4l2UvcTransportFactory(CameraLister lister, std::shared_ptr<V4l2Syscalls> syscalls);
  // The default lister logs through this object.
  V4l2UvcTransportFactory(const V4l2UvcTransportFactory&) = delete;
  V4l2UvcTransportFactory& operator=(const V4l2UvcTransportFactory&) = delete;

  // The cameras udev lists, logging to `log` when udev is unavailable.
  static std::vector<UdevCamera> listCameras(const UVCLog& log = UVCLog());

  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override;
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t vendorId,
                                                    std::uint16_t productId) override;
  // Subscribes on the same node the controls go to.
  std::unique_ptr<UVCControlWatch> watchByLocation(std::uint32_t locationId,
                                                   UVCControlWatch::Listener listener) override;
  // Both on their own descriptor of the node the controls go to.
  std::unique_ptr<VideoControlSet> openControlsByLocation(std::uint32_t locationId) override;
  std::unique_ptr<VideoControlWatch> watchControlsByLocation(
      std::uint32_t locationId, const std::vector<std::uint32_t>& ids,
      VideoControlWatch::Listener listener) override;

 private:
  std::unique_ptr<UVCTransport> openFirst(
      const std::function<bool(const UsbSysfsIdentity&)>& match);
  // The descriptor of the first capture node of the first matching camera, or -1 (logged).
  int openFirstNode(const std::function<bool(const UsbSysfsIdentity&)>& match);

  CameraLister lister_;
  std::shared_ptr<V4l2Syscalls> syscalls_;
};

}  // namespace vexhal
