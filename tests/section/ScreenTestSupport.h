#pragma once

// Virtual cameras found by the program's own HID manager, for the screen suites.

#include <QTemporaryDir>
#include <QTimer>

#include "SimHidDiscovery.h"
#include "VirtualCameraRig.h"
#include "common/UiTestSupport.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "platform/Platform.h"

namespace vexhal::test {

inline sim::VirtualCameraIdentity identity(const std::string& serial, std::int64_t locationId) {
  sim::VirtualCameraIdentity id;
  id.serialNumber = serial;
  id.locationId = locationId;
  return id;
}

// A platform on `rig`'s camera: its discovery, controls and capture.
inline Platform platformOn(sim::VirtualCameraRig& rig) {
  Platform platform;
  platform.setDiscoveryMaker([&rig] { return rig.makeDiscovery(); });
  platform.setUvcTransportFactory(rig.uvcTransportFactory());
  platform.setCaptureBackend(rig.captureBackend());
  return platform;
}

// Faults of a camera that answers `command` with the failure `code`.
inline sim::SimFaults failing(std::uint16_t command, std::uint32_t code) {
  sim::SimFaults faults;
  faults.errorCodes[command] = code;
  return faults;
}

// Faults of a camera another program captures from in 4K.
inline sim::SimFaults capturedIn4K() {
  sim::SimFaults faults;
  faults.otherProgramCaptures4K = true;
  return faults;
}

// Runs deferred work at the next turn of the event loop, but keeps toasts up for the test to read.
inline Scheduler immediateScheduler() {
  return [](QObject* context, int, std::function<void()> task) {
    if (qobject_cast<QProgressHUD*>(context) == nullptr)
      QTimer::singleShot(0, context, std::move(task));
  };
}

// Points HOME at a folder of the test process's own (the firmware package goes into its cache).
inline void useTemporaryHome() {
  static QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_CACHE_HOME");
}

// Two virtual cameras under the program's own HID manager, unplugged until the test plugs them.
struct TwoCameras {
  TwoCameras()
      : first(identity("VXK31D2612001", 0x03142000)),
        second(identity("VXK31D2612002", 0x03143000)),
        manager(std::make_unique<sim::SimHidDiscovery>(
            std::vector<sim::VirtualCamera*>{&first, &second})) {
    manager.startMonitoringForVendorID(first.vendorId(), first.productId());
  }

  // Plugs `camera` in and waits until the manager has it.
  void plug(sim::VirtualCamera& camera) {
    const std::size_t before = manager.devices().size();
    camera.plug();
    ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == before + 1; }));
  }

  sim::VirtualCamera first;
  sim::VirtualCamera second;
  USBHidManager manager;
  Platform platform;
};

// One virtual camera, plugged in, with its device once the manager has it.
struct CameraOnManager {
  explicit CameraOnManager(sim::VirtualCameraIdentity id = {})
      : rig(std::move(id)), manager(rig.makeDiscovery()) {
    manager.startMonitoringForVendorID(rig.camera().vendorId(), rig.camera().productId());
    waitUntil([this] { return !manager.devices().empty(); });
    if (!manager.devices().empty()) device = manager.devices().front();
  }

  sim::VirtualCamera& camera() { return rig.camera(); }

  sim::VirtualCameraRig rig;
  Platform platform = platformOn(rig);
  USBHidManager manager;
  std::shared_ptr<USBDevice> device;
};

}  // namespace vexhal::test
