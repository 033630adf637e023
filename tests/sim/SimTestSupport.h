#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimHidDiscovery.h"
#include "VirtualCamera.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidDelegate.h"
#include "device/hid/USBHidManager.h"

namespace vexhal::sim::test {

inline constexpr std::uint16_t kVendorId = 0xB206;
inline constexpr std::uint16_t kProductId = 0xB215;

// The application object that notifiers, timers and posted completions need.
inline void ensureCoreApplication() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "sim-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }
}

// Runs the event loop until `done` holds, or gives up after a generous bound (the tests never
// depend on how fast anything happens, only on it happening).
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  QDeadlineTimer deadline(bound);
  while (!done()) {
    if (deadline.hasExpired()) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

// Runs the event loop for a while without waiting for anything in particular: enough rounds
// for every report already written to be answered and every posted completion to run.
inline void settle(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

// Records what the manager tells its delegates.
class RecordingDelegate : public USBHidDelegate {
 public:
  void usbHidManagerDidAttachDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    events.push_back("+" + device->key());
    attached.push_back(device);
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    events.push_back("-" + device->key());
  }

  std::vector<std::string> events;
  std::vector<std::shared_ptr<USBDevice>> attached;
};

// A virtual camera found by the program's own HID manager.
struct CameraOnManager {
  explicit CameraOnManager(VirtualCameraIdentity identity = {}) : camera(std::move(identity)) {
    ensureCoreApplication();
    camera.setRestartDelay(std::chrono::milliseconds(50));
    camera.plug();
    manager = std::make_unique<USBHidManager>(
        std::make_unique<SimHidDiscovery>(std::vector{&camera}));
    delegate = std::make_shared<RecordingDelegate>();
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(kVendorId, kProductId);
  }

  // The camera's USBDevice once the manager has it.
  std::shared_ptr<USBDevice> device() {
    waitUntil([this] { return !manager->devices().empty(); });
    return manager->devices().empty() ? nullptr : manager->devices().front();
  }

  VirtualCamera camera;
  std::unique_ptr<USBHidManager> manager;
  std::shared_ptr<RecordingDelegate> delegate;
};

// A completion's result, filled when it runs.
template <typename Value>
struct Answer {
  std::optional<std::int64_t> code;
  Value value{};
  int calls = 0;

  bool arrived() const { return code.has_value(); }
};

}  // namespace vexhal::sim::test
