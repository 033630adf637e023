// Firmware transfers into the virtual camera through the program's USBDevice: the restart with
// the new version, refused images, transfers cut off and the repair that follows.
#include <gtest/gtest.h>

#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "SimTestSupport.h"

namespace vexhal::sim {
namespace {

using test::Answer;
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

struct Upgrade {
  explicit Upgrade(CameraOnManager& onManager) : rig(onManager), device(onManager.device()) {}

  // Sends `image` and waits for its one outcome.
  std::int64_t send(const QByteArray& image) {
    Answer<int> outcome;
    device->startUpgrade(image, [&](std::int64_t code) {
      outcome = {code, 0, outcome.calls + 1};
    });
    EXPECT_TRUE(waitUntil([&] { return outcome.arrived(); }));
    return outcome.code.value_or(-100);
  }

  // Waits for the camera to leave the manager and come back; the new device.
  std::shared_ptr<USBDevice> comeBack() {
    EXPECT_TRUE(waitUntil([&] {
      return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
    }));
    device = rig.manager->devices().empty() ? nullptr : rig.manager->devices().front();
    return device;
  }

  std::pair<std::int64_t, std::optional<std::string>> stateAndVersion() {
    Answer<std::int64_t> state;
    Answer<std::optional<std::string>> version;
    device->getState([&](std::int64_t c, std::int64_t v) { state = {c, v, 1}; });
    device->getVersion([&](std::int64_t c, const std::optional<std::string>& v) {
      version = {c, v, 1};
    });
    EXPECT_TRUE(waitUntil([&] { return state.arrived() && version.arrived(); }));
    return {state.value, version.value};
  }

  CameraOnManager& rig;
  std::shared_ptr<USBDevice> device;
};

TEST(VirtualCameraUpgrade, AGoodImageIsAcceptedAndTheCameraReturnsWithItsVersion) {
  CameraOnManager rig;
  Upgrade upgrade(rig);
  ASSERT_NE(upgrade.device, nullptr);
  const QByteArray image = buildFirmwareImage({1, 2, 9}, payload(5 * 1010 + 17));
  EXPECT_EQ(upgrade.send(image), 0);

  ASSERT_NE(upgrade.comeBack(), nullptr);
  const std::string key = rig.camera.hidKey();
  EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"+" + key, "-" + key, "+" + key}));
  const auto [state, version] = upgrade.stateAndVersion();
  EXPECT_EQ(state, 1);
  EXPECT_EQ(version, "1.2.9");
}

TEST(VirtualCameraUpgrade, ImagesOfEveryPacketCountArriveWhole) {
  // Sizes around packet boundaries: the last packet full, one byte over, one byte short.
  for (const int size : {1, 1010 - 16, 1010 - 15, 2 * 1010 - 16}) {
    CameraOnManager rig;
    Upgrade upgrade(rig);
    ASSERT_NE(upgrade.device, nullptr);
    EXPECT_EQ(upgrade.send(buildFirmwareImage({3, 0, 1}, payload(size))), 0) << size;
    ASSERT_NE(upgrade.comeBack(), nullptr) << size;
    EXPECT_EQ(rig.camera.firmwareVersion(), (FirmwareVersion{3, 0, 1})) << size;
  }
}

struct BadImageCase {
  const char* name;
  std::function<void(QByteArray&)> spoil;
};

class BadImage : public ::testing::TestWithParam<BadImageCase> {};

TEST_P(BadImage, IsRefusedAndLeavesTheCameraFailedUntilRepaired) {
  CameraOnManager rig;
  Upgrade upgrade(rig);
  ASSERT_NE(upgrade.device, nullptr);
  QByteArray image = buildFirmwareImage({9, 9, 9}, payload(3000));
  GetParam().spoil(image);
  EXPECT_EQ(upgrade.send(image), kResultImageRejected);
  test::settle();
  EXPECT_EQ(rig.manager->devices().front(), upgrade.device);  // no restart
  auto [state, version] = upgrade.stateAndVersion();
  EXPECT_EQ(state, 2);  // the camera reports "failed"
  EXPECT_EQ(version, "1.0.6");

  EXPECT_EQ(upgrade.send(buildFirmwareImage({1, 3, 0}, payload(3000))), 0);
  ASSERT_NE(upgrade.comeBack(), nullptr);
  std::tie(state, version) = upgrade.stateAndVersion();
  EXPECT_EQ(state, 1);
  EXPECT_EQ(version, "1.3.0");
}

INSTANTIATE_TEST_SUITE_P(
    Images, BadImage,
    ::testing::Values(
        BadImageCase{"FlippedPayloadBit", [](QByteArray& i) { i[100] = static_cast<char>(i[100] ^ 4); }},
        BadImageCase{"WrongMagic", [](QByteArray& i) { i[0] = 'Z'; }},
        BadImageCase{"Truncated", [](QByteArray& i) { i.chop(1); }},
        BadImageCase{"TrailingBytes", [](QByteArray& i) { i.append("more"); }},
        BadImageCase{"NotAnImage", [](QByteArray& i) { i = QByteArray(2500, 'z'); }},
        BadImageCase{"ShorterThanAHeader", [](QByteArray& i) { i = QByteArray("VXFW"); }}),
    [](const ::testing::TestParamInfo<BadImageCase>& param) { return param.param.name; });

TEST(VirtualCameraUpgrade, ATransferCutOffComesBackFailedAndCanBeRepaired) {
  CameraOnManager rig;
  Upgrade upgrade(rig);
  ASSERT_NE(upgrade.device, nullptr);
  SimFaults faults;
  faults.detachAfterPacket = 3;
  rig.camera.setFaults(faults);
  bool called = false;
  upgrade.device->startUpgrade(buildFirmwareImage({2, 0, 0}, payload(10 * 1010)),
                               [&](std::int64_t) { called = true; });
  ASSERT_NE(upgrade.comeBack(), nullptr);
  EXPECT_FALSE(called);  // an unplugged camera gives the transfer no outcome
  EXPECT_EQ(rig.camera.firmwarePacketsReceived(), 0);
  auto [state, version] = upgrade.stateAndVersion();
  EXPECT_EQ(state, 2);
  EXPECT_EQ(version, "1.0.6");

  rig.camera.setFaults({});
  EXPECT_EQ(upgrade.send(buildFirmwareImage({2, 0, 0}, payload(10 * 1010))), 0);
  ASSERT_NE(upgrade.comeBack(), nullptr);
  std::tie(state, version) = upgrade.stateAndVersion();
  EXPECT_EQ(state, 1);
  EXPECT_EQ(version, "2.0.0");
}

TEST(VirtualCameraUpgrade, UnpluggingDuringATransferLeavesTheCameraFailed) {
  CameraOnManager rig;
  Upgrade upgrade(rig);
  ASSERT_NE(upgrade.device, nullptr);
  SimFaults faults;
  faults.replyDelay = std::chrono::milliseconds(5);  // keeps the transfer going for a while
  rig.camera.setFaults(faults);
  upgrade.device->startUpgrade(buildFirmwareImage({2, 0, 0}, payload(50 * 1010)), {});
  ASSERT_TRUE(waitUntil([&] { return rig.camera.firmwarePacketsReceived() >= 2; }));
  rig.camera.unplug();
  ASSERT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  EXPECT_TRUE(rig.camera.firmwareFailed());
  rig.camera.setFaults({});
  rig.camera.plug();
  ASSERT_NE(upgrade.comeBack(), nullptr);
  EXPECT_EQ(upgrade.stateAndVersion().first, 2);
}

TEST(VirtualCameraUpgrade, ACameraThatNeverComesBackStaysAway) {
  CameraOnManager rig;
  Upgrade upgrade(rig);
  ASSERT_NE(upgrade.device, nullptr);
  SimFaults faults;
  faults.neverReturn = true;
  rig.camera.setFaults(faults);
  EXPECT_EQ(upgrade.send(buildFirmwareImage({4, 0, 0}, payload(100))), 0);
  ASSERT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  // Several restart delays later it is still away; plugging it in by hand brings it back.
  test::waitUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_TRUE(rig.manager->devices().empty());
  EXPECT_FALSE(rig.camera.isAttached());
  rig.camera.plug();
  ASSERT_NE(upgrade.comeBack(), nullptr);
  EXPECT_EQ(upgrade.stateAndVersion().second, "4.0.0");
}

// Steps out of order, as a program with a broken transfer would send them.
TEST(VirtualCameraUpgrade, StepsOutOfOrderAreRefused) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
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
