#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CameraCommand.h"
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
    manager.startMonitoringForVendorID(kVendorId, kProductId);
  }

  // The camera's USBDevice once the manager has it.
  std::shared_ptr<USBDevice> device() {
    return waitUntil([this] { return !manager.devices().empty(); }) ? manager.devices().front()
                                                                    : nullptr;
  }

  VirtualCamera camera;
  USBHidManager manager{std::make_unique<SimHidDiscovery>(std::vector{&camera})};
};

// A completion's result, filled when it runs.
template <typename Value>
struct Answer {
  std::optional<std::int64_t> code;
  Value value{};
};

// Makes one request and waits for its completion, within a bound that also covers a step across
// the kernel rig's bus; `call` passes the completion it is given on to the device. The device keeps
// a completion for later replies of the same kind, so the answer it fills outlives this call.
template <typename Value, typename Call>
Answer<Value> ask(Call call, std::chrono::milliseconds bound = std::chrono::seconds(90)) {
  auto answer = std::make_shared<Answer<Value>>();
  call([answer](std::int64_t code, Value value) { *answer = {code, std::move(value)}; });
  EXPECT_TRUE(waitUntil([&answer] { return answer->code.has_value(); }, bound));
  return *answer;
}

// The same for a request whose completion carries only a code; -100 when none came.
template <typename Call>
std::int64_t askCode(Call call, std::chrono::milliseconds bound = std::chrono::seconds(90)) {
  const auto answer =
      ask<int>([&](auto done) { call([done](std::int64_t code) { done(code, 0); }); }, bound);
  return answer.code.value_or(-100);
}

}  // namespace vexhal::sim::test
