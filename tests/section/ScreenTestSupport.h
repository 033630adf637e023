#pragma once

// Virtual cameras found by the program's own HID manager, for the screen suites.

#include <QTemporaryDir>
#include <QTimer>

#include "SimCaptureBackend.h"
#include "SimHidDiscovery.h"
#include "SimUvcTransportFactory.h"
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

// Two virtual cameras under the program's own HID manager, with video controls and capture: the
// first (`id`) plugged in unless `plugged` is false, the second unplugged until the test plugs it.
struct Cameras {
  explicit Cameras(bool plugged = true, sim::VirtualCameraIdentity id = {})
      : first(std::move(id)),
        second(identity("VXK31D2612002", 0x03143000)),
        manager(std::make_unique<sim::SimHidDiscovery>(std::vector{&first, &second})) {
    platform.setUvcTransportFactory(uvc);
    platform.setCaptureBackend(capture);
    manager.startMonitoringForVendorID(first.vendorId(), first.productId());
    if (plugged) plug(first);
    if (plugged && !manager.devices().empty()) device = manager.devices().front();
  }
  ~Cameras() { capture->stop({}); }  // capture threads read the cameras

  // Plugs `camera` in and waits until the manager has it.
  void plug(sim::VirtualCamera& camera) {
    const std::size_t before = manager.devices().size();
    camera.plug();
    ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == before + 1; }));
  }

  sim::VirtualCamera first;
  sim::VirtualCamera second;
  std::shared_ptr<sim::SimUvcTransportFactory> uvc =
      std::make_shared<sim::SimUvcTransportFactory>(std::vector{&first, &second});
  std::shared_ptr<sim::SimCaptureBackend> capture =
      std::make_shared<sim::SimCaptureBackend>(std::vector{&first, &second});
  USBHidManager manager;
  Platform platform;
  std::shared_ptr<USBDevice> device;
};

}  // namespace vexhal::test
