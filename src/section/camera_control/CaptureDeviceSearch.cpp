#include "section/camera_control/CaptureDeviceSearch.h"

#include <QMetaObject>

#include "device/hid/CaptureDevicePairing.h"

namespace vexhal {

CaptureDeviceSearch::CaptureDeviceSearch(std::shared_ptr<video::CaptureBackend> backend,
                                         QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
  thread_.setObjectName(QStringLiteral("vexhal-devfind"));
  worker_.moveToThread(&thread_);
  thread_.start();
}

CaptureDeviceSearch::~CaptureDeviceSearch() {
  thread_.quit();
  thread_.wait();
}

void CaptureDeviceSearch::find(std::int64_t locationId, Found found) {
  QMetaObject::invokeMethod(
      &worker_,
      [this, backend = backend_, locationId, found = std::move(found)]() mutable {
        std::optional<video::CaptureDevice> match;
        if (backend) {
          for (const video::CaptureDevice& device : backend->devices()) {
            if (isMatched(device.uniqueId, locationId)) {
              match = device;
              break;
            }
          }
        }
        // `this` is alive here: its destructor waits for this thread. An answer still queued
        // when it is destroyed is dropped with it.
        QMetaObject::invokeMethod(
            this, [match = std::move(match), found = std::move(found)] { found(match); },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

}  // namespace vexhal
