// The program's device layer on the virtual camera where the contract suite cannot reach:
// malformed or out-of-order requests the camera must refuse, faults shown only in-process, and
// UVC values kept across a restart.
#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "SimTestSupport.h"
#include "SimUvcTransportFactory.h"
#include "device/uvc/UVCCameraControl.h"

namespace vexhal::sim::test {
namespace {

hid_cmd_pack_t request(std::uint16_t cmd, std::uint8_t status = 0, std::uint16_t length = 0,
                       std::uint32_t packNum = 0) {
  hid_cmd_pack_t pack = getPackage(cmd);
  pack.head.dataStatus = status;
  pack.head.dataLength.set(length);
  pack.head.packNum.set(packNum);
  sealPacket(pack);
  return pack;
}

// The result code the camera answers `pack` with; nothing when it stays silent.
std::optional<std::uint32_t> answer(VirtualCamera& camera, const hid_cmd_pack_t& pack) {
  const auto reply = camera.respond(pack);
  return reply ? std::optional(reply->head.packNum.get()) : std::nullopt;
}

TEST(VirtualCamera, RefusesMalformedAndOutOfOrderRequestsWithTheirCodes) {
  VirtualCamera camera;
  camera.plug();
  hid_cmd_pack_t badChecksum = getPackage(kCmdGetState);
  badChecksum.head.crc.set(badChecksum.head.crc.get() ^ 1U);
  hid_cmd_pack_t otherProtocol = getPackage(kCmdGetState);
  otherProtocol.head.magic.set(0x1234);
  const std::vector<std::pair<hid_cmd_pack_t, std::optional<std::uint32_t>>> rows = {
      {badChecksum, kResultBadChecksum},
      {request(kCmdGetState, 0, 2000), kResultInvalidValue},  // longer than a report
      {getPackage(kCmdSetAngle), kResultInvalidValue},        // a setting without its value
      {otherProtocol, std::nullopt},
      {request(kCmdUpgradeData, kHidDataPresent, 1010, 1), kResultOutOfOrder},  // no start
      {getPackage(kCmdUpgradeFinish), kResultOutOfOrder},
      {getPackage(kCmdUpgradeStart), 0},
      {request(kCmdUpgradeData, kHidDataPresent, 1010, 2), kResultOutOfOrder},    // skips one
      {request(kCmdUpgradeData, kHidDataPresent, 1000, 1), kResultInvalidValue},  // short
      {request(kCmdUpgradeData, kHidLastPacket, 20, 1), 0},
      {request(kCmdUpgradeData, kHidLastPacket, 20, 2), kResultOutOfOrder},  // after the last
      {getPackage(kCmdUpgradeFinish), kResultImageRejected},                 // zeros, no image
      {getPackage(kCmdUpgradeFinish), kResultOutOfOrder}};                   // finished already
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(answer(camera, rows[i].first), rows[i].second) << "row " << i;
}

TEST(VirtualCamera, SlowRepliesArriveInOrderAndNoneReachesTheNextAttachment) {
  CameraOnManager rig;
  const auto device = rig.device();
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

  auto called = std::make_shared<bool>(false);
  device->getState([called](std::int64_t, std::int64_t) { *called = true; });
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 3; }));
  rig.camera.unplug();
  rig.camera.setFaults({});
  rig.camera.plug();
  ASSERT_TRUE(rig.replaced(device));
  // The new attachment answers its own request, and nothing of the old one.
  EXPECT_TRUE(ask<std::int64_t>([&](auto done) { rig.device()->getState(done); }).arrived());
  waitUntil([] { return false; }, std::chrono::milliseconds(60));
  EXPECT_FALSE(*called);
  EXPECT_EQ(rig.camera.reportsReceived(), 4u);
}

// Saved values are what the camera starts with after a restart.
TEST(VirtualCamera, SavedUvcValuesSurviveARestart) {
  CameraOnManager rig;
  SimUvcTransportFactory factory{{&rig.camera}};
  UVCCameraControl uvc(static_cast<std::uint32_t>(rig.camera.locationId()), factory);
  ASSERT_TRUE(uvc.setContrast(150));
  const auto device = rig.device();
  EXPECT_EQ(askCode([&](auto done) { device->saveUVC(done); }), 0);
  ASSERT_TRUE(uvc.setContrast(90));
  EXPECT_EQ(askCode([&](auto done) {
              device->startUpgrade(buildFirmwareImage({1, 0, 7}, QByteArray(10, 'a')), done);
            }),
            0);
  ASSERT_TRUE(rig.replaced(device));
  EXPECT_EQ(uvc.getContrast(), 150);
}

}  // namespace
}  // namespace vexhal::sim::test
