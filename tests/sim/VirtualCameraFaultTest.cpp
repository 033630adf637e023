// Faults the virtual camera shows on demand, as the program's USBDevice sees them.
#include <gtest/gtest.h>

#include "CameraCommand.h"
#include "SimTestSupport.h"

namespace vexhal::sim {
namespace {

using test::Answer;
using test::ask;
using test::CameraOnManager;
using test::waitUntil;

class VirtualCameraFault : public test::OnManager {};

TEST_F(VirtualCameraFault, AChosenErrorCodeReachesTheCompletionWithNoValue) {
  SimFaults faults;
  faults.errorCodes[kCmdGetAngle] = 0x1234;
  faults.errorCodes[kCmdSetHMirror] = 9;
  faults.errorCodes[kCmdGetVersion] = 7;
  rig.camera.setFaults(faults);

  const auto angle = ask<std::int64_t>([&](auto done) { device->getAngle(done); });
  EXPECT_EQ(angle.code, 0x1234);
  EXPECT_EQ(angle.value, 0);
  EXPECT_EQ(test::askCode([&](auto done) { device->setHMirror(true, done); }), 9);
  EXPECT_FALSE(rig.camera.functions().hMirror);  // a failed command changes nothing
  const auto version = ask<std::optional<std::string>>([&](auto done) { device->getVersion(done); });
  EXPECT_EQ(version.code, 7);
  EXPECT_FALSE(version.value.has_value());
  EXPECT_FALSE(device->version().has_value());
}

TEST_F(VirtualCameraFault, AnUnansweredCommandLeavesItsCompletionUncalled) {
  SimFaults faults;
  faults.noReply.insert(kCmdGetState);
  rig.camera.setFaults(faults);
  Answer<std::int64_t> state;
  device->getState([&](std::int64_t c, std::int64_t v) { state = {c, v, 1}; });
  // The pick-up reply, asked for after the state, proves the state request was handled.
  ASSERT_TRUE(ask<std::int64_t>([&](auto done) { device->getPickup(done); }).arrived());
  test::settle();
  EXPECT_FALSE(state.arrived());
  EXPECT_EQ(device->state(), 0);
  EXPECT_EQ(rig.camera.reportsReceived(), 2U);
}

TEST_F(VirtualCameraFault, AGarbageReplyIsDecodedAsTheDeviceLayerDecodesAnyReply) {
  SimFaults faults;
  faults.garbage = {kCmdGetState, kCmdGetPickup};
  rig.camera.setFaults(faults);

  const auto state = ask<std::int64_t>([&](auto done) { device->getState(done); });
  EXPECT_EQ(state.code, rig.camera.lastReply()->head.packNum.get());
  EXPECT_NE(state.code, 0);
  EXPECT_EQ(state.value, 0);  // a failed state reply gives 0 whatever its bytes

  const auto pickup = ask<std::int64_t>([&](auto done) { device->getPickup(done); });
  EXPECT_EQ(pickup.code, rig.camera.lastReply()->head.packNum.get());
  EXPECT_EQ(pickup.value, 0);
}

TEST_F(VirtualCameraFault, SlowRepliesArriveLaterAndInOrder) {
  SimFaults faults;
  faults.replyDelay = std::chrono::milliseconds(40);
  rig.camera.setFaults(faults);
  std::vector<std::string> order;
  device->setAngle(60, [&](std::int64_t c) { order.push_back("set " + std::to_string(c)); });
  device->getAngle([&](std::int64_t c, std::int64_t v) {
    order.push_back("get " + std::to_string(c) + " " + std::to_string(v));
  });
  ASSERT_TRUE(waitUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<std::string>{"set 0", "get 0 60"}));
}

TEST_F(VirtualCameraFault, AReplyDueAfterTheCameraLeftIsNotDelivered) {
  SimFaults faults;
  faults.replyDelay = std::chrono::milliseconds(30);
  rig.camera.setFaults(faults);
  bool called = false;
  device->getState([&](std::int64_t, std::int64_t) { called = true; });
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 1; }));
  rig.camera.unplug();
  rig.camera.setFaults({});
  rig.camera.plug();
  ASSERT_TRUE(waitUntil([&] {
    return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
  }));
  // The new attachment answers its own requests, and nothing of the old one.
  ASSERT_TRUE(
      ask<std::int64_t>([&](auto done) { rig.manager->devices().front()->getState(done); }).arrived());
  test::waitUntil([] { return false; }, std::chrono::milliseconds(60));
  EXPECT_FALSE(called);
  EXPECT_EQ(rig.camera.reportsReceived(), 2U);
}

}  // namespace
}  // namespace vexhal::sim
