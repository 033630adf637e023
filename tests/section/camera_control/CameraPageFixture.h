#pragma once

// A virtual camera found by the program's own HID manager, for the control pages' suites.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <functional>
#include <memory>

#include "VirtualCameraRig.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"

namespace vexhal::test {

// Runs the event loop until `done` holds; false after a generous bound. Nothing depends on how
// fast anything happens, only on it happening.
inline bool waitFor(const std::function<bool()>& done) {
  QDeadlineTimer deadline(std::chrono::seconds(20));
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

// Enough event loop rounds for every report already written to be answered and every posted
// completion to run.
inline void settle(int rounds = 30) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

struct CameraOnManager {
  explicit CameraOnManager(sim::VirtualCameraIdentity identity = {})
      : rig(std::move(identity)), manager(rig.makeDiscovery()) {
    manager.startMonitoringForVendorID(rig.camera().vendorId(), rig.camera().productId());
    waitFor([this] { return !manager.devices().empty(); });
    if (!manager.devices().empty()) device = manager.devices().front();
  }

  sim::VirtualCamera& camera() { return rig.camera(); }

  sim::VirtualCameraRig rig;
  USBHidManager manager;
  std::shared_ptr<USBDevice> device;
};

}  // namespace vexhal::test
