#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CameraCommand.h"
#include "CameraFunctions.h"
#include "SimHidDiscovery.h"
#include "common/EventLoop.h"
#include "VirtualCamera.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidDelegate.h"
#include "device/hid/USBHidManager.h"

namespace vexhal::sim::test {

inline constexpr std::uint16_t kVendorId = 0xB206;
inline constexpr std::uint16_t kProductId = 0xB215;

using vexhal::test::ensureCoreApplication;
using vexhal::test::settle;
using vexhal::test::waitUntil;

// Records what the manager tells its delegates, as "+key" and "-key".
class RecordingDelegate : public USBHidDelegate {
 public:
  void usbHidManagerDidAttachDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    events.push_back("+" + device->key());
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    events.push_back("-" + device->key());
  }

  std::vector<std::string> events;
};

// A virtual camera found by the program's own HID manager.
struct CameraOnManager {
  CameraOnManager() {
    ensureCoreApplication();
    camera.setRestartDelay(std::chrono::milliseconds(50));
    camera.plug();
    manager =
        std::make_unique<USBHidManager>(std::make_unique<SimHidDiscovery>(std::vector{&camera}));
    delegate = std::make_shared<RecordingDelegate>();
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(kVendorId, kProductId);
  }

  // The camera's USBDevice once the manager has it.
  std::shared_ptr<USBDevice> device() {
    waitUntil([this] { return !manager->devices().empty(); });
    return manager->devices().empty() ? nullptr : manager->devices().front();
  }
  // Waits for a new device to take the place of `old` (after a restart or a replug).
  bool replaced(const std::shared_ptr<USBDevice>& old) {
    return waitUntil(
        [&] { return manager->devices().size() == 1 && manager->devices().front() != old; });
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

// Makes one request and waits for its completion; `call` passes the completion it is given on
// to the device. The device keeps a completion for later replies of the same kind, so the
// answer it fills outlives this call.
template <typename Value, typename Call>
Answer<Value> ask(Call call, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  auto answer = std::make_shared<Answer<Value>>();
  call([answer](std::int64_t code, Value value) {
    *answer = {code, std::move(value), answer->calls + 1};
  });
  EXPECT_TRUE(waitUntil([&answer] { return answer->arrived(); }, bound));
  return *answer;
}

// The same for a request whose completion carries only a code; -100 when none came.
template <typename Call>
std::int64_t askCode(Call call, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  const auto answer =
      ask<int>([&](auto done) { call([done](std::int64_t code) { done(code, 0); }); }, bound);
  return answer.code.value_or(-100);
}

// One camera function as the device layer sets and reads it (flags read as 0 or 1): a value
// other than the factory one, and where the camera keeps it.
struct FunctionCase {
  const char* name;
  std::int64_t value;
  std::int64_t factory;
  std::function<void(USBDevice&, std::int64_t, USBDevice::CodeCallback)> set;
  std::function<void(USBDevice&, USBDevice::ValueCallback)> get;
  std::function<std::int64_t(const CameraFunctions&)> held;
};

inline std::vector<FunctionCase> functionCases() {
  using C = USBDevice::CodeCallback;
  using V = USBDevice::ValueCallback;
  using F = const CameraFunctions&;
  const auto flag = [](void (USBDevice::*getter)(USBDevice::FlagCallback)) {
    return [getter](USBDevice& d, V done) {
      (d.*getter)([done](std::int64_t code, bool on) { done(code, on ? 1 : 0); });
    };
  };
  return {
      {"AutoFramingMode", 1, 0,
       [](USBDevice& d, std::int64_t v, C c) { d.setAutoFramingMode(v, c); },
       [](USBDevice& d, V done) { d.getAutoFramingMode(done); },
       [](F f) -> std::int64_t { return f.autoFramingMode; }},
      {"FrameMaster", 1, 0, [](USBDevice& d, std::int64_t v, C c) { d.setFrameMaster(v != 0, c); },
       flag(&USBDevice::getFrameMaster), [](F f) -> std::int64_t { return f.frameMaster; }},
      {"Pickup", 80, 50, [](USBDevice& d, std::int64_t v, C c) { d.setPickup(v, c); },
       [](USBDevice& d, V done) { d.getPickup(done); },
       [](F f) -> std::int64_t { return f.pickup; }},
      {"AutoFraming", 0, 1, [](USBDevice& d, std::int64_t v, C c) { d.setAutoFraming(v != 0, c); },
       flag(&USBDevice::getAutoFraming), [](F f) -> std::int64_t { return f.autoFraming; }},
      {"HMirror", 1, 0, [](USBDevice& d, std::int64_t v, C c) { d.setHMirror(v != 0, c); },
       flag(&USBDevice::getHMirror), [](F f) -> std::int64_t { return f.hMirror; }},
      {"Angle", 90, 120, [](USBDevice& d, std::int64_t v, C c) { d.setAngle(v, c); },
       [](USBDevice& d, V done) { d.getAngle(done); }, [](F f) -> std::int64_t { return f.angle; }},
  };
}

}  // namespace vexhal::sim::test
