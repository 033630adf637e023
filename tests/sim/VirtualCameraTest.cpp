// The virtual camera where the contract suite cannot reach: malformed or out-of-order requests
// it must refuse, and UVC values kept across a restart.
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
  ASSERT_TRUE(waitUntil([&] { return rig.device() != device; }));
  EXPECT_EQ(uvc.getContrast(), 150);
}

}  // namespace
}  // namespace vexhal::sim::test
