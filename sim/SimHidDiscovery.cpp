#include "SimHidDiscovery.h"

#include <QMetaObject>

namespace vexhal::sim {

SimHidDiscovery::SimHidDiscovery(std::vector<VirtualCamera*> cameras) {
  for (VirtualCamera* camera : cameras) {
    addCamera(*camera);
  }
}

SimHidDiscovery::~SimHidDiscovery() {
  for (const auto& [camera, id] : cameras_) {
    camera->removeAttachListener(id);
  }
}

void SimHidDiscovery::addCamera(VirtualCamera& camera) {
  const int id =
      camera.addAttachListener([this, &camera](bool attached) { cameraChanged(camera, attached); });
  cameras_.emplace_back(&camera, id);
  if (started_ && camera.isAttached()) {
    cameraChanged(camera, true);
  }
}

int SimHidDiscovery::start(std::uint16_t vendorId, std::uint16_t productId, Events events) {
  vendorId_ = vendorId;
  productId_ = productId;
  events_ = std::move(events);
  started_ = true;
  QMetaObject::invokeMethod(
      &context_,
      [this] {
        for (const auto& [camera, id] : cameras_) {
          if (camera->isAttached()) {
            cameraChanged(*camera, true);
          }
        }
      },
      Qt::QueuedConnection);
  return 0;
}

UniqueFd SimHidDiscovery::open(const HidDeviceRecord& device) {
  for (const auto& [camera, id] : cameras_) {
    if (camera->hidKey() == device.key) {
      return camera->openHid();
    }
  }
  return UniqueFd();
}

void SimHidDiscovery::cameraChanged(VirtualCamera& camera, bool attached) {
  if (!started_ || !matches(camera)) {
    return;
  }
  if (attached) {
    if (events_.arrived) {
      events_.arrived(recordOf(camera));
    }
  } else if (events_.removed) {
    events_.removed(camera.hidKey());
  }
}

bool SimHidDiscovery::matches(const VirtualCamera& camera) const {
  return camera.vendorId() == vendorId_ && camera.productId() == productId_;
}

HidDeviceRecord SimHidDiscovery::recordOf(const VirtualCamera& camera) {
  return HidDeviceRecord{camera.hidKey(), camera.vendorId(), camera.productId(),
                         camera.locationId()};
}

}  // namespace vexhal::sim
