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
using test::CameraOnManager;
using test::waitUntil;

TEST(VirtualCameraHid, ArrivalAndRemovalReachTheManagerAndItsDelegates) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->locationID(), 0x03142000);
  EXPECT_EQ(device->modelName(), "VX-K31D");
  EXPECT_TRUE(isMatched(rig.camera.captureUniqueId(), device->locationID()));
  EXPECT_EQ(rig.camera.captureUniqueId(), "0x3142000b206b215");

  rig.camera.unplug();
  EXPECT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  rig.camera.plug();
  EXPECT_TRUE(waitUntil([&] { return rig.manager->devices().size() == 1; }));
  const std::string key = rig.camera.hidKey();
  EXPECT_EQ(rig.delegate->events, (std::vector<std::string>{"+" + key, "-" + key, "+" + key}));
  EXPECT_NE(rig.manager->devices().front(), device);  // a new object for the new attachment
}

TEST(VirtualCameraHid, ACameraOfOtherIdsIsNotReported) {
  VirtualCameraIdentity other;
  other.productId = 0x1234;
  CameraOnManager rig(other);
  test::settle();
  EXPECT_TRUE(rig.manager->devices().empty());
  EXPECT_TRUE(rig.delegate->events.empty());
}

TEST(VirtualCameraHid, TheInterfaceIsExclusive) {
  CameraOnManager rig;
  ASSERT_NE(rig.device(), nullptr);
  EXPECT_FALSE(rig.camera.openHid().isValid());
}

TEST(VirtualCameraHid, IdentityRepliesOfAFreshCamera) {
  VirtualCameraIdentity identity;
  identity.serialNumber = "SN0123456789X";
  identity.version = {2, 7, 200};
  CameraOnManager rig(identity);
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);

  Answer<std::int64_t> state;
  Answer<std::optional<std::string>> version;
  Answer<std::optional<std::string>> serial;
  device->getState([&](std::int64_t code, std::int64_t value) { state = {code, value, 1}; });
  device->getVersion([&](std::int64_t code, const std::optional<std::string>& text) {
    version = {code, text, 1};
  });
  device->getSerialNumber([&](std::int64_t code, const std::optional<std::string>& text) {
    serial = {code, text, 1};
  });
  ASSERT_TRUE(waitUntil([&] { return state.arrived() && version.arrived() && serial.arrived(); }));
  EXPECT_EQ(*state.code, 0);
  EXPECT_EQ(state.value, 1);  // the camera reported "ready"
  EXPECT_EQ(device->state(), 1);
  EXPECT_EQ(version.value, "2.7.-56");  // each number is one signed byte on the wire
  EXPECT_EQ(serial.value, "SN0123456789X");
  EXPECT_EQ(device->serialNumber(), "SN0123456789X");
}

TEST(VirtualCameraHid, FreshCameraReadsFactoryFunctions) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
  Answer<bool> framing, peopleBox, mirror;
  Answer<std::int64_t> mode, pickup, angle;
  device->getAutoFraming([&](std::int64_t c, bool v) { framing = {c, v, 1}; });
  device->getAutoFramingMode([&](std::int64_t c, std::int64_t v) { mode = {c, v, 1}; });
  device->getFrameMaster([&](std::int64_t c, bool v) { peopleBox = {c, v, 1}; });
  device->getAngle([&](std::int64_t c, std::int64_t v) { angle = {c, v, 1}; });
  device->getHMirror([&](std::int64_t c, bool v) { mirror = {c, v, 1}; });
  device->getPickup([&](std::int64_t c, std::int64_t v) { pickup = {c, v, 1}; });
  ASSERT_TRUE(waitUntil([&] { return pickup.arrived(); }));
  ASSERT_TRUE(framing.arrived() && mode.arrived() && peopleBox.arrived() && angle.arrived() &&
              mirror.arrived());
  EXPECT_TRUE(framing.value);
  EXPECT_EQ(mode.value, 0);
  EXPECT_FALSE(peopleBox.value);
  EXPECT_EQ(angle.value, 120);
  EXPECT_FALSE(mirror.value);
  EXPECT_EQ(pickup.value, 50);
}

// One function: how to set it, how to read it back, and a value to set.
struct FunctionCase {
  const char* name;
  std::function<void(USBDevice&, std::int64_t, USBDevice::CodeCallback)> set;
  std::function<void(USBDevice&, USBDevice::ValueCallback)> get;
  std::int64_t value;
  std::uint16_t setCommand;
  std::uint8_t invalid;  // a byte the camera refuses
};

// A set request carrying any byte, which the typed operations cannot always express.
hid_cmd_pack_t rawSetting(std::uint16_t cmd, std::uint8_t byte) {
  hid_cmd_pack_t pack = getPackage(cmd);
  pack.head.dataStatus = kHidDataPresent;
  pack.head.dataLength.set(1);
  pack.data[0] = byte;
  sealPacket(pack);
  return pack;
}

class FunctionRoundTrip : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(FunctionRoundTrip, SetThenGetReturnsTheValueAndInvalidValuesAreRefused) {
  const FunctionCase& c = GetParam();
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);

  Answer<int> set;
  c.set(*device, c.value, [&](std::int64_t code) { set = {code, 0, set.calls + 1}; });
  Answer<std::int64_t> got;
  c.get(*device, [&](std::int64_t code, std::int64_t value) { got = {code, value, 1}; });
  ASSERT_TRUE(waitUntil([&] { return set.arrived() && got.arrived(); }));
  EXPECT_EQ(*set.code, 0);
  EXPECT_EQ(*got.code, 0);
  EXPECT_EQ(got.value, c.value);

  // The reply to the refused request goes to the slot the first request filled.
  ASSERT_TRUE(device->sendOutputReport(rawSetting(c.setCommand, c.invalid)));
  Answer<std::int64_t> after;
  c.get(*device, [&](std::int64_t code, std::int64_t value) { after = {code, value, 1}; });
  ASSERT_TRUE(waitUntil([&] { return set.calls == 2 && after.arrived(); }));
  EXPECT_EQ(*set.code, kResultInvalidValue);
  EXPECT_EQ(after.value, c.value);  // a refused value changes nothing
}

INSTANTIATE_TEST_SUITE_P(
    EveryFunction, FunctionRoundTrip,
    ::testing::Values(
        FunctionCase{"AutoFraming",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setAutoFraming(v != 0, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) {
                       d.getAutoFraming([cb](std::int64_t c, bool v) { cb(c, v ? 1 : 0); });
                     },
                     0, kCmdSetAutoFraming, 2},
        FunctionCase{"AutoFramingMode",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setAutoFramingMode(v, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) {
                       d.getAutoFramingMode(std::move(cb));
                     },
                     1, kCmdSetAutoFramingMode, 7},
        FunctionCase{"FrameMaster",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setFrameMaster(v != 0, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) {
                       d.getFrameMaster([cb](std::int64_t c, bool v) { cb(c, v ? 1 : 0); });
                     },
                     1, kCmdSetFrameMaster, 2},
        FunctionCase{"Pickup",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setPickup(v, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) { d.getPickup(std::move(cb)); },
                     80, kCmdSetPickup, 101},
        FunctionCase{"HMirror",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setHMirror(v != 0, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) {
                       d.getHMirror([cb](std::int64_t c, bool v) { cb(c, v ? 1 : 0); });
                     },
                     1, kCmdSetHMirror, 2},
        FunctionCase{"Angle",
                     [](USBDevice& d, std::int64_t v, USBDevice::CodeCallback cb) {
                       d.setAngle(v, std::move(cb));
                     },
                     [](USBDevice& d, USBDevice::ValueCallback cb) { d.getAngle(std::move(cb)); },
                     60, kCmdSetAngle, 75}),
    [](const ::testing::TestParamInfo<FunctionCase>& param) { return param.param.name; });

TEST(VirtualCameraHid, SavedFunctionsSurviveARestartAndUnsavedOnesDoNot) {
  CameraOnManager rig;
  auto device = rig.device();
  ASSERT_NE(device, nullptr);
  Answer<int> saved;
  device->setAngle(90, {});
  device->saveUVC([&](std::int64_t code) { saved = {code, 0, 1}; });
  device->setHMirror(true, {});
  ASSERT_TRUE(waitUntil([&] { return saved.arrived(); }));
  EXPECT_EQ(*saved.code, 0);
  ASSERT_TRUE(waitUntil([&] { return rig.camera.functions().hMirror; }));

  // A good image makes the camera restart, loading what was saved.
  Answer<int> upgraded;
  device->startUpgrade(buildFirmwareImage({1, 1, 0}, QByteArray(100, 'x')),
                       [&](std::int64_t code) { upgraded = {code, 0, 1}; });
  ASSERT_TRUE(waitUntil([&] { return upgraded.arrived(); }));
  ASSERT_TRUE(waitUntil([&] {
    return rig.manager->devices().size() == 1 && rig.manager->devices().front() != device;
  }));
  device = rig.manager->devices().front();
  Answer<std::int64_t> angle;
  Answer<bool> mirror;
  device->getAngle([&](std::int64_t c, std::int64_t v) { angle = {c, v, 1}; });
  device->getHMirror([&](std::int64_t c, bool v) { mirror = {c, v, 1}; });
  ASSERT_TRUE(waitUntil([&] { return angle.arrived() && mirror.arrived(); }));
  EXPECT_EQ(angle.value, 90);
  EXPECT_FALSE(mirror.value);
}

TEST(VirtualCameraHid, CaptureInfoSaysWhenAnotherProgramCaptures4K) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
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

class BadRequest : public ::testing::TestWithParam<BadRequestCase> {};

TEST_P(BadRequest, IsAnsweredWithItsCode) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
  Answer<std::int64_t> state;
  device->getState([&](std::int64_t code, std::int64_t value) { state = {code, value, 1}; });
  ASSERT_TRUE(waitUntil([&] { return state.arrived(); }));

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

TEST(VirtualCameraHid, AReportOfAnotherProtocolIsNotAnswered) {
  CameraOnManager rig;
  const auto device = rig.device();
  ASSERT_NE(device, nullptr);
  hid_cmd_pack_t pack = getPackage(kCmdGetState);
  pack.head.magic.set(0x1234);
  ASSERT_TRUE(device->sendOutputReport(pack));
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 1; }));
  EXPECT_FALSE(rig.camera.lastReply().has_value());
}

}  // namespace
}  // namespace vexhal::sim
