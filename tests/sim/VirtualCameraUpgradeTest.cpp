// Firmware transfers into the virtual camera through the program's USBDevice: the restart with
// the new version, refused images, transfers cut off and the repair that follows.
#include <gtest/gtest.h>

#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "SimTestSupport.h"

namespace vexhal::sim {
namespace {

using test::CameraOnManager;
using test::waitUntil;

// A payload that fills several packets and ends with a partial one.
QByteArray payload(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(i * 7 + 3);
  }
  return bytes;
}

// A camera's state (1 ready, 2 failed) and version.
using Status = std::pair<std::int64_t, std::optional<std::string>>;

// One virtual camera on the manager, and the steps of a firmware update on it.
class VirtualCameraUpgrade : public test::OnManager {
 protected:
  // Sends `image` and waits for its one outcome.
  std::int64_t send(const QByteArray& image) {
    return test::askCode([&](auto done) { device->startUpgrade(image, done); });
  }

  // Waits for the camera to leave the manager and come back; the new device.
  std::shared_ptr<USBDevice> comeBack() {
    EXPECT_TRUE(waitUntil([&] {
      return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
    }));
    device = rig.manager->devices().empty() ? nullptr : rig.manager->devices().front();
    return device;
  }

  Status stateAndVersion() {
    return {test::ask<std::int64_t>([&](auto done) { device->getState(done); }).value,
            test::ask<std::optional<std::string>>([&](auto done) { device->getVersion(done); })
                .value};
  }

  // A failed camera keeps its old version; a good image brings it back ready with the new one.
  void expectFailedThenRepairedBy(const QByteArray& image, const std::string& version) {
    EXPECT_EQ(stateAndVersion(), Status(2, "1.0.6"));
    EXPECT_EQ(send(image), 0);
    ASSERT_NE(comeBack(), nullptr);
    EXPECT_EQ(stateAndVersion(), Status(1, version));
  }
};

TEST_F(VirtualCameraUpgrade, AGoodImageIsAcceptedAndTheCameraReturnsWithItsVersion) {
  EXPECT_EQ(send(buildFirmwareImage({1, 2, 9}, payload(5 * 1010 + 17))), 0);
  ASSERT_NE(comeBack(), nullptr);
  const std::string key = rig.camera.hidKey();
  EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"+" + key, "-" + key, "+" + key}));
  EXPECT_EQ(stateAndVersion(), Status(1, "1.2.9"));
}

TEST(VirtualCameraUpgradeSizes, ImagesOfEveryPacketCountArriveWhole) {
  // Sizes around packet boundaries: the last packet full, one byte over, one byte short.
  for (const int size : {1, 1010 - 16, 1010 - 15, 2 * 1010 - 16}) {
    CameraOnManager rig;
    const auto device = rig.device();
    ASSERT_NE(device, nullptr);
    const QByteArray image = buildFirmwareImage({3, 0, 1}, payload(size));
    EXPECT_EQ(test::askCode([&](auto done) { device->startUpgrade(image, done); }), 0) << size;
    ASSERT_TRUE(waitUntil([&] {
      return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
    })) << size;
    EXPECT_EQ(rig.camera.firmwareVersion(), (FirmwareVersion{3, 0, 1})) << size;
  }
}

// Which damage is caught is the image check's own table (FirmwareImageTest); here one damaged
// image goes the whole way through the camera.
TEST_F(VirtualCameraUpgrade, ADamagedImageIsRefusedAndLeavesTheCameraFailedUntilRepaired) {
  QByteArray image = buildFirmwareImage({9, 9, 9}, payload(3000));
  image[100] = static_cast<char>(image[100] ^ 4);
  EXPECT_EQ(send(image), kResultImageRejected);
  test::settle();
  EXPECT_EQ(rig.manager->devices().front(), device);  // no restart
  expectFailedThenRepairedBy(buildFirmwareImage({1, 3, 0}, payload(3000)), "1.3.0");
}

TEST_F(VirtualCameraUpgrade, ATransferCutOffComesBackFailedAndCanBeRepaired) {
  SimFaults faults;
  faults.detachAfterPacket = 3;
  rig.camera.setFaults(faults);
  bool called = false;
  device->startUpgrade(buildFirmwareImage({2, 0, 0}, payload(10 * 1010)),
                       [&](std::int64_t) { called = true; });
  ASSERT_NE(comeBack(), nullptr);
  EXPECT_FALSE(called);  // an unplugged camera gives the transfer no outcome
  EXPECT_EQ(rig.camera.firmwarePacketsReceived(), 0);
  rig.camera.setFaults({});
  expectFailedThenRepairedBy(buildFirmwareImage({2, 0, 0}, payload(10 * 1010)), "2.0.0");
}

TEST_F(VirtualCameraUpgrade, ACameraThatNeverComesBackStaysAway) {
  SimFaults faults;
  faults.neverReturn = true;
  rig.camera.setFaults(faults);
  EXPECT_EQ(send(buildFirmwareImage({4, 0, 0}, payload(100))), 0);
  ASSERT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  // Several restart delays later it is still away; plugging it in by hand brings it back.
  test::waitUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_TRUE(rig.manager->devices().empty());
  EXPECT_FALSE(rig.camera.isAttached());
  rig.camera.plug();
  ASSERT_NE(comeBack(), nullptr);
  EXPECT_EQ(stateAndVersion().second, "4.0.0");
}

// Steps out of order, as a program with a broken transfer would send them.
TEST_F(VirtualCameraUpgrade, StepsOutOfOrderAreRefused) {
  const auto answer = [&](const hid_cmd_pack_t& pack) {
    const std::uint64_t before = rig.camera.reportsReceived();
    EXPECT_TRUE(device->sendOutputReport(pack));
    EXPECT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == before + 1; }));
    return rig.camera.lastReply()->head.packNum.get();
  };
  const auto data = [](std::uint32_t packNum, std::uint8_t status, std::uint16_t length) {
    hid_cmd_pack_t pack = getPackage(kCmdUpgradeData);
    pack.head.dataStatus = status;
    pack.head.dataLength.set(length);
    pack.head.packNum.set(packNum);
    sealPacket(pack);
    return pack;
  };
  EXPECT_EQ(answer(data(1, kHidDataPresent, 1010)), kResultOutOfOrder);  // no start
  EXPECT_EQ(answer(getPackage(kCmdUpgradeFinish)), kResultOutOfOrder);
  EXPECT_EQ(answer(getPackage(kCmdUpgradeStart)), 0U);
  EXPECT_EQ(answer(data(2, kHidDataPresent, 1010)), kResultOutOfOrder);  // skips packet 1
  EXPECT_EQ(answer(data(1, kHidDataPresent, 1000)), kResultInvalidValue);  // short, not last
  EXPECT_EQ(answer(data(1, kHidLastPacket, 20)), 0U);
  EXPECT_EQ(answer(data(2, kHidLastPacket, 20)), kResultOutOfOrder);  // after the last
  EXPECT_EQ(answer(getPackage(kCmdUpgradeFinish)), kResultImageRejected);  // zeros, no image
  EXPECT_EQ(answer(getPackage(kCmdUpgradeFinish)), kResultOutOfOrder);    // finished already
}

}  // namespace
}  // namespace vexhal::sim
