#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "VirtualCamera.h"
#include "device/uvc/UVCTransportFactory.h"

namespace vexhal::sim {

// Finds the video-control channel of a virtual camera by its location id (or its USB ids), and
// watches its controls. A channel reaches its camera while the camera is attached;
// afterwards its requests fail with ENODEV, as a real camera's do once unplugged. The cameras
// must outlive the factory's channels.
class SimUvcTransportFactory final : public UVCTransportFactory {
 public:
  explicit SimUvcTransportFactory(std::vector<VirtualCamera*> cameras = {});

  void addCamera(VirtualCamera& camera);

  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override;
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t vendorId,
                                                    std::uint16_t productId) override;
  std::unique_ptr<UVCControlWatch> watchByLocation(std::uint32_t locationId,
                                                   UVCControlWatch::Listener listener) override;
  std::unique_ptr<VideoControlSet> openControlsByLocation(std::uint32_t locationId) override;
  std::unique_ptr<VideoControlWatch> watchControlsByLocation(
      std::uint32_t locationId, const std::vector<std::uint32_t>& ids,
      VideoControlWatch::Listener listener) override;

 private:
  VirtualCamera* attachedAt(std::uint32_t locationId);

  std::mutex mutex_;
  std::vector<VirtualCamera*> cameras_;
};

}  // namespace vexhal::sim
