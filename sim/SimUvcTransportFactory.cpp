#include "SimUvcTransportFactory.h"

#include "SimUvcControlWatch.h"
#include "SimUvcTransport.h"
#include "SimVideoControlSet.h"
#include "SimVideoControlWatch.h"

namespace vexhal::sim {

SimUvcTransportFactory::SimUvcTransportFactory(std::vector<VirtualCamera*> cameras)
    : cameras_(std::move(cameras)) {}

void SimUvcTransportFactory::addCamera(VirtualCamera& camera) {
  const std::lock_guard lock(mutex_);
  cameras_.push_back(&camera);
}

VirtualCamera* SimUvcTransportFactory::attachedAt(std::uint32_t locationId) {
  const std::lock_guard lock(mutex_);
  for (VirtualCamera* camera : cameras_) {
    if (camera->isAttached() && static_cast<std::uint32_t>(camera->locationId()) == locationId) {
      return camera;
    }
  }
  return nullptr;
}

std::unique_ptr<UVCTransport> SimUvcTransportFactory::openByLocation(std::uint32_t locationId) {
  VirtualCamera* camera = attachedAt(locationId);
  return camera != nullptr ? std::make_unique<SimUvcTransport>(*camera) : nullptr;
}

std::unique_ptr<UVCControlWatch> SimUvcTransportFactory::watchByLocation(
    std::uint32_t locationId, UVCControlWatch::Listener listener) {
  VirtualCamera* camera = attachedAt(locationId);
  return camera != nullptr ? std::make_unique<SimUvcControlWatch>(*camera, std::move(listener))
                           : nullptr;
}

std::unique_ptr<VideoControlSet> SimUvcTransportFactory::openControlsByLocation(
    std::uint32_t locationId) {
  VirtualCamera* camera = attachedAt(locationId);
  return camera != nullptr ? std::make_unique<SimVideoControlSet>(*camera) : nullptr;
}

std::unique_ptr<VideoControlWatch> SimUvcTransportFactory::watchControlsByLocation(
    std::uint32_t locationId, const std::vector<std::uint32_t>& ids,
    VideoControlWatch::Listener listener) {
  VirtualCamera* camera = attachedAt(locationId);
  return camera != nullptr
             ? std::make_unique<SimVideoControlWatch>(*camera, ids, std::move(listener))
             : nullptr;
}

std::unique_ptr<UVCTransport> SimUvcTransportFactory::openByVendorProduct(std::uint16_t vendorId,
                                                                          std::uint16_t productId) {
  const std::lock_guard lock(mutex_);
  for (VirtualCamera* camera : cameras_) {
    if (camera->isAttached() && camera->vendorId() == vendorId &&
        camera->productId() == productId) {
      return std::make_unique<SimUvcTransport>(*camera);
    }
  }
  return nullptr;
}

}  // namespace vexhal::sim
