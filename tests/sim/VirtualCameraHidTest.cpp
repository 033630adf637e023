// The virtual camera's HID side, driven through the program's own HID manager, USBDevice and
// report channel.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "SimTestSupport.h"
#include "device/UsbLocation.h"
#include "device/hid/CaptureDevicePairing.h"

namespace vexhal::sim {
namespace {

using test::Answer;
using test::ask;
using test::CameraOnManager;
using test::waitUntil;

class VirtualCameraHid : public test::OnManager {};

TEST_F(VirtualCameraHid, ArrivalAndRemovalReachTheManagerAndItsDelegates) {
  EXPECT_EQ(device->locationID(), 0x03142000);
  EXPECT_EQ(device->modelName(), "VX-K31D");
  EXPECT_TRUE(isMatched(rig.camera.captureUniqueId(), device->locationID()));
  EXPECT_EQ(rig.camera.captureUniqueId(), "0x3142000b206b215");
  EXPECT_FALSE(rig.camera.openHid().isValid()) << "the interface is held exclusively";

  rig.camera.unplug();
  EXPECT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  rig.camera.plug();
  EXPECT_TRUE(waitUntil([&] { return rig.manager->devices().size() == 1; }));
  const std::string key = rig.camera.hidKey();
  EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"+" + key, "-" + key, "+" + key}));
  EXPECT_NE(rig.manager->devices().front(), device);  // a new object for the new attachment
}

TEST(VirtualCameraHidIdentity, ACameraOfOtherIdsIsNotReported) {
  VirtualCameraIdentity other;
  other.productId = 0x1234;
  CameraOnManager rig(other);
  test::settle();
  EXPECT_TRUE(rig.manager->devices().empty());
  EXPECT_TRUE(rig.delegate->events.empty());
}

TEST(VirtualCameraHidIdentity, RepliesOfAFreshCamera) {
  VirtualCameraIdentity identity;
  identity.serialNumber = "SN0123456789X";
  identity.version = {2, 7, 200};
  CameraOnManager rig(identity);
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);

  const auto state = ask<std::int64_t>([&](auto done) { device->getState(done); });
  const auto version = ask<std::optional<std::string>>([&](auto done) { device->getVersion(done); });
  const auto serial =
      ask<std::optional<std::string>>([&](auto done) { device->getSerialNumber(done); });
  EXPECT_EQ(state.code, 0);
  EXPECT_EQ(state.value, 1);  // the camera reported "ready"
  EXPECT_EQ(device->state(), 1);
  EXPECT_EQ(version.value, "2.7.-56");  // each number is one signed byte on the wire
  EXPECT_EQ(serial.value, "SN0123456789X");
  EXPECT_EQ(device->serialNumber(), "SN0123456789X");
}

// A set request carrying any byte, which the typed operations cannot always express.
hid_cmd_pack_t rawSetting(std::uint16_t cmd, std::uint8_t byte) {
  hid_cmd_pack_t pack = getPackage(cmd);
  pack.head.dataStatus = kHidDataPresent;
  pack.head.dataLength.set(1);
  pack.data[0] = byte;
  sealPacket(pack);
  return pack;
}

class FunctionRoundTrip : public test::OnManager,
                          public ::testing::WithParamInterface<test::FunctionCase> {};

TEST_P(FunctionRoundTrip, StartsAtTheFactoryValueSetThenGetReturnsItInvalidOnesAreRefused) {
  const test::FunctionCase& c = GetParam();

  EXPECT_EQ(ask<std::int64_t>([&](auto done) { c.get(*device, done); }).value, c.factory);

  Answer<int> set;
  c.set(*device, c.value, [&](std::int64_t code) { set = {code, 0, set.calls + 1}; });
  Answer<std::int64_t> got;
  c.get(*device, [&](std::int64_t code, std::int64_t value) { got = {code, value, 1}; });
  ASSERT_TRUE(waitUntil([&] { return set.arrived() && got.arrived(); }));
  EXPECT_EQ(*set.code, 0);
  EXPECT_EQ(*got.code, 0);
  EXPECT_EQ(got.value, c.value);
  EXPECT_EQ(c.held(rig.camera.functions()), c.value);

  // A raw request has no waiting completion: the camera refuses it, the device ignores the reply.
  ASSERT_TRUE(device->sendOutputReport(rawSetting(c.setCommand, c.invalid)));
  ASSERT_TRUE(waitUntil([&] {
    const auto& reply = rig.camera.lastReply();
    return reply && reply->head.cmd.get() == c.setCommand;
  }));
  EXPECT_EQ(rig.camera.lastReply()->head.packNum.get(), kResultInvalidValue);
  Answer<std::int64_t> after;
  c.get(*device, [&](std::int64_t code, std::int64_t value) { after = {code, value, 1}; });
  ASSERT_TRUE(waitUntil([&] { return after.arrived(); }));
  EXPECT_EQ(set.calls, 1);
  EXPECT_EQ(after.value, c.value);  // a refused value changes nothing
}

INSTANTIATE_TEST_SUITE_P(
    EveryFunction, FunctionRoundTrip,
    ::testing::ValuesIn(test::functionCases()),
    [](const ::testing::TestParamInfo<test::FunctionCase>& param) { return param.param.name; });

TEST_F(VirtualCameraHid, SavedFunctionsSurviveARestartAndUnsavedOnesDoNot) {
  device->setAngle(90, {});
  EXPECT_EQ(test::askCode([&](auto done) { device->saveUVC(done); }), 0);
  device->setHMirror(true, {});
  ASSERT_TRUE(waitUntil([&] { return rig.camera.functions().hMirror; }));

  // A good image makes the camera restart, loading what was saved.
  EXPECT_EQ(test::askCode([&](auto done) {
              device->startUpgrade(buildFirmwareImage({1, 1, 0}, QByteArray(100, 'x')), done);
            }),
            0);
  ASSERT_TRUE(waitUntil([&] {
    return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
  }));
  device = rig.manager->devices().front();
  EXPECT_EQ(ask<std::int64_t>([&](auto done) { device->getAngle(done); }).value, 90);
  EXPECT_FALSE(ask<bool>([&](auto done) { device->getHMirror(done); }).value);
}

TEST_F(VirtualCameraHid, CaptureInfoSaysWhenAnotherProgramCaptures4K) {
  std::vector<bool> flags;
  const auto ask = [&] {
    device->getCaptureInfo([&](std::int64_t code, bool flag) {
      EXPECT_EQ(code, 0);
      flags.push_back(flag);
    });
    return waitUntil([&, n = flags.size()] { return flags.size() == n + 1; });
  };
  ASSERT_TRUE(ask());
  SimFaults faults;
  faults.otherProgramCaptures4K = true;
  rig.camera.setFaults(faults);
  ASSERT_TRUE(ask());
  rig.camera.setStreaming(1920, 1080);
  rig.camera.setFaults({});
  ASSERT_TRUE(ask());
  EXPECT_EQ(flags, (std::vector<bool>{false, true, false}));
  const auto& reply = rig.camera.lastReply();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(readLittleEndian(&reply->data[0], 4), 1920);
  EXPECT_EQ(readLittleEndian(&reply->data[4], 4), 1080);
  EXPECT_EQ(readLittleEndian(&reply->data[32], 4), 1);
}

// Requests the camera cannot take, sent as raw reports.
struct BadRequestCase {
  const char* name;
  std::function<void(hid_cmd_pack_t&)> spoil;
  std::uint32_t code;
};

class BadRequest : public test::OnManager, public ::testing::WithParamInterface<BadRequestCase> {};

TEST_P(BadRequest, IsAnsweredWithItsCode) {
  ASSERT_TRUE(ask<std::int64_t>([&](auto done) { device->getState(done); }).arrived());

  hid_cmd_pack_t pack = getPackage(kCmdGetState);
  GetParam().spoil(pack);
  ASSERT_TRUE(device->sendOutputReport(pack));
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 2; }));
  test::settle();
  ASSERT_TRUE(rig.camera.lastReply().has_value());
  EXPECT_EQ(rig.camera.lastReply()->head.packNum.get(), GetParam().code);
  EXPECT_EQ(rig.camera.lastReply()->head.cmd.get(), pack.head.cmd.get());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BadRequest,
    ::testing::Values(
        BadRequestCase{"WrongChecksum",
                       [](hid_cmd_pack_t& p) { p.head.crc.set(p.head.crc.get() ^ 1U); },
                       kResultBadChecksum},
        BadRequestCase{"UnknownCommand",
                       [](hid_cmd_pack_t& p) { p = getPackage(0x5555); },
                       kResultUnknownCommand},
        BadRequestCase{"OverlongData",
                       [](hid_cmd_pack_t& p) {
                         p.head.dataLength.set(2000);
                         sealPacket(p);
                       },
                       kResultInvalidValue},
        BadRequestCase{"SettingWithoutData",
                       [](hid_cmd_pack_t& p) { p = getPackage(kCmdSetAngle); },
                       kResultInvalidValue}),
    [](const ::testing::TestParamInfo<BadRequestCase>& param) { return param.param.name; });

TEST_F(VirtualCameraHid, AReportOfAnotherProtocolIsNotAnswered) {
  hid_cmd_pack_t pack = getPackage(kCmdGetState);
  pack.head.magic.set(0x1234);
  ASSERT_TRUE(device->sendOutputReport(pack));
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 1; }));
  EXPECT_FALSE(rig.camera.lastReply().has_value());
}

}  // namespace
}  // namespace vexhal::sim
