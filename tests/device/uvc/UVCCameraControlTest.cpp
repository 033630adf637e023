// UVCCameraControl over a fake transport: the request each control sends, how answers are read,
// the clamping of the image controls, failures and their log lines, and how a camera is found.
#include "device/uvc/UVCCameraControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <limits>

#include "FakeUvcTransport.h"
#include "UvcLogCapture.h"

namespace vexhal {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeUvcCamera;
using testing::FakeUvcTransport;
using testing::FakeUvcTransportFactory;
using testing::UvcLogCapture;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kLocation = 0x03142000;

class UVCCameraControlTest : public ::testing::Test {
 protected:
  // The one request the camera saw; `type` and `code` as expected of it.
  const testing::SeenRequest& only(std::uint8_t type, std::uint8_t code) const {
    EXPECT_EQ(camera->seen.size(), 1u);
    EXPECT_EQ(camera->seen.front().bmRequestType, type);
    EXPECT_EQ(camera->seen.front().bRequest, code);
    return camera->seen.front();
  }

  UvcLogCapture log;
  std::shared_ptr<FakeUvcCamera> camera = std::make_shared<FakeUvcCamera>();
  UVCCameraControl control{std::make_unique<FakeUvcTransport>(camera), log.log()};
};

// A control set (when it can be) and read: its unit, selector and size, the bytes a SET sends,
// and the value a GET makes of the camera's answer.
struct ControlCase {
  const char* name;
  std::function<bool(UVCCameraControl&)> set;
  std::function<std::int64_t(UVCCameraControl&)> get;
  std::uint16_t wValue;
  std::uint16_t wIndex;
  std::uint16_t wLength;
  Bytes sent;
  Bytes answer;
  std::int64_t got;
};

class Control : public UVCCameraControlTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(Control, SendsItsUnitSelectorAndSizeAndReadsTheAnswerLittleEndian) {
  const ControlCase& c = GetParam();
  if (c.set) {
    EXPECT_TRUE(c.set(control));
    const testing::SeenRequest& r = only(0x21, 0x01);
    EXPECT_EQ(r.wValue, c.wValue);
    EXPECT_EQ(r.wIndex, c.wIndex);
    EXPECT_EQ(r.wLength, c.wLength);
    EXPECT_EQ(r.wLenDone, 0u);
    EXPECT_EQ(Bytes(r.bytes.begin(), r.bytes.begin() + c.wLength), c.sent);
    camera->seen.clear();
  }
  camera->answer = c.answer;
  EXPECT_EQ(c.get(control), c.got);
  const testing::SeenRequest& r = only(0xA1, 0x81);
  EXPECT_EQ(r.wValue, c.wValue);
  EXPECT_EQ(r.wIndex, c.wIndex);
  EXPECT_EQ(r.wLength, c.wLength);
  EXPECT_EQ(r.bytes, Bytes(8, 0)) << "a GET's buffer is cleared";
  EXPECT_TRUE(log.lines.empty());
}

std::int64_t flag(bool value) { return value ? 1 : 0; }

// clang-format off
const std::vector<ControlCase> kControls = {
    // Only wLength bytes are taken from the camera.
    {"Brightness", [](auto& c) { return c.setBrightness(120); }, &UVCCameraControl::getBrightness,
     0x0200, 0x0200, 2, {0x78, 0}, {0x34, 0x12, 0xFF, 0xFF}, 0x1234},
    {"ContrastIsUnsigned", [](auto& c) { return c.setContrast(178); },
     &UVCCameraControl::getContrast, 0x0300, 0x0200, 2, {0xB2, 0}, {0xFF, 0xFF}, 65535},
    {"Saturation", [](auto& c) { return c.setSaturation(78); }, &UVCCameraControl::getSaturation,
     0x0700, 0x0200, 2, {0x4E, 0}, {0x80, 0}, 128},
    {"Sharpness", [](auto& c) { return c.setSharpness(150); }, &UVCCameraControl::getSharpness,
     0x0800, 0x0200, 2, {0x96, 0}, {0x00, 0x01}, 256},
    {"AutoExposureOn", [](auto& c) { return c.setAutoExposure(true); },
     [](auto& c) { return flag(c.getAutoExposure()); }, 0x0200, 0x0100, 1, {2}, {2}, 1},
    {"AutoExposureOffIsManual", [](auto& c) { return c.setAutoExposure(false); },
     [](auto& c) { return flag(c.getAutoExposure()); }, 0x0200, 0x0100, 1, {1}, {1}, 0},
    {"ShutterPriorityIsNotAuto", nullptr, [](auto& c) { return flag(c.getAutoExposure()); },
     0x0200, 0x0100, 1, {}, {4}, 0},
    {"ExposureTime", [](auto& c) { return c.setExposureTime(0x12345); },
     &UVCCameraControl::getExposureTime, 0x0400, 0x0100, 4, {0x45, 0x23, 0x01, 0},
     {0x45, 0x23, 0x01, 0}, 0x12345},
    {"GainUnclamped", [](auto& c) { return c.setGain(255); }, &UVCCameraControl::getGain, 0x0400,
     0x0200, 2, {0xFF, 0}, {0x10, 0}, 16},
    {"WhiteBalanceTemperature", [](auto& c) { return c.setWhiteBalanceTemperature(6500); },
     &UVCCameraControl::getWhiteBalanceTemperature, 0x0A00, 0x0200, 2, {0x64, 0x19}, {0xF8, 0x11},
     4600},
    {"AutoWhiteBalanceOn", [](auto& c) { return c.setAutoWhiteBalance(true); },
     [](auto& c) { return flag(c.getAutoWhiteBalance()); }, 0x0B00, 0x0200, 1, {1}, {1}, 1},
    {"AutoWhiteBalanceOff", [](auto& c) { return c.setAutoWhiteBalance(false); },
     [](auto& c) { return flag(c.getAutoWhiteBalance()); }, 0x0B00, 0x0200, 1, {0}, {0}, 0},
    {"PeopleCentredFraming", [](auto& c) { return c.setPeopleCentredFraming(true); },
     [](auto& c) { return flag(c.getPeopleCentredFraming()); }, 0x0100, 0x0600, 1, {1}, {1}, 1},
    {"FieldOfView", [](auto& c) { return c.setFieldOfView(120); },
     &UVCCameraControl::getFieldOfView, 0x0200, 0x0600, 1, {120}, {90}, 90},
    {"HorizontalMirror", [](auto& c) { return c.setHorizontalMirror(true); },
     [](auto& c) { return flag(c.getHorizontalMirror()); }, 0x0300, 0x0600, 1, {1}, {0}, 0}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Controls, Control, ::testing::ValuesIn(kControls),
                         [](const auto& p) { return std::string(p.param.name); });

// The image controls keep the program's range, 78 to 178, whatever they are given.
struct ClampCase {
  bool (UVCCameraControl::*set)(std::int64_t);
  std::int64_t value;
  std::uint8_t sent;
};

const std::vector<ClampCase> kClamps = {
    {&UVCCameraControl::setBrightness, 50, 78},
    {&UVCCameraControl::setBrightness, 300, 178},
    {&UVCCameraControl::setBrightness, 78, 78},
    {&UVCCameraControl::setBrightness, 178, 178},
    {&UVCCameraControl::setContrast, -5, 78},
    {&UVCCameraControl::setSaturation, (std::int64_t{1} << 32) + 100, 178},
    {&UVCCameraControl::setSharpness, std::numeric_limits<std::int64_t>::min(), 78}};

TEST_F(UVCCameraControlTest, ImageControlsAreClampedIntoTheProgramsRange) {
  for (const ClampCase& c : kClamps) {
    camera->seen.clear();
    EXPECT_TRUE((control.*c.set)(c.value));
    EXPECT_EQ(Bytes(only(0x21, 0x01).bytes.begin(), only(0x21, 0x01).bytes.begin() + 2),
              (Bytes{c.sent, 0}))
        << c.value;
  }
}

TEST_F(UVCCameraControlTest, RefusedRequestGivesFalseOrZeroAndLogsTheStatus) {
  camera->status = EOPNOTSUPP;
  camera->answer = {0x96, 0x00};
  EXPECT_FALSE(control.setBrightness(120));
  EXPECT_EQ(control.getBrightness(), 0);
  EXPECT_FALSE(control.getHorizontalMirror());
  EXPECT_THAT(log.lines, ElementsAre("CameraControl Error: Control request failed: 0000005f",
                                     "CameraControl Error: Control request failed: 0000005f",
                                     "CameraControl Error: Control request failed: 0000005f"));
}

TEST_F(UVCCameraControlTest, LengthsThatDoNotFitTheValueAreRefusedBeforeSending) {
  for (const std::int32_t length : {0, -1, 9, 1024}) {
    EXPECT_FALSE(control.setData(1, length, 2, 2)) << length;
    EXPECT_EQ(control.getDataFor(0x81, length, 2, 2), 0) << length;
  }
  EXPECT_FALSE(control.setData(1, 2, 256, 2));
  EXPECT_EQ(control.getDataFor(0x81, 2, 2, -1), 0);
  EXPECT_EQ(control.getDataFor(0x181, 2, 2, 2), 0);
  EXPECT_TRUE(camera->seen.empty());
  EXPECT_EQ(log.lines.size(), 11u);
  EXPECT_EQ(log.lines.back(), "CameraControl Error: Invalid request code 385");
  EXPECT_EQ(log.lines.front(),
            "CameraControl Error: Invalid request (length 0, selector 2, unit 2)");
}

TEST(UVCCameraControlMissing, EveryRequestFailsWithItsLogLine) {
  UvcLogCapture log;
  auto camera = std::make_shared<FakeUvcCamera>();
  FakeUvcTransportFactory factory(camera, kLocation);
  factory.setLog(log.log());
  UVCCameraControl control(0x01100000, factory);
  EXPECT_FALSE(control.hasInterface());
  EXPECT_THAT(factory.askedLocations, ElementsAre(0x01100000u));
  std::size_t operations = 0;
  for (const ControlCase& c : kControls) {
    EXPECT_EQ(c.get(control), 0) << c.name;
    EXPECT_FALSE(c.set && c.set(control)) << c.name;
    operations += c.set ? 2 : 1;
  }
  for (const ClampCase& c : kClamps) {
    EXPECT_FALSE((control.*c.set)(c.value));
  }
  EXPECT_TRUE(camera->seen.empty());
  EXPECT_EQ(log.lines.size(), operations + kClamps.size());
  EXPECT_THAT(log.lines, Each(std::string("CameraControl Error: No interface to send request")));
}

TEST(UVCCameraControlOpening, AUniqueIdNamesTheLocationBeforeTheUsbIds) {
  for (const auto& [text, location] :
       std::vector<std::pair<const char*, std::optional<std::uint32_t>>>{
           {"0x3142000b206b215", 0x03142000},  // bus below 16
           {"0x14100000046d085b", 0x14100000},
           {"0x03142000", 0x03142000},
           {"0X1f", 0x1f},
           {"0x3142000b206b215-extra", 0x03142000},
           {"0xFFFFFFFF00000000", 0xFFFFFFFF},
           {"0x1FFFFFFFF00000000", std::nullopt},  // beyond 32 bits
           {"0x", std::nullopt},
           {"3142000", std::nullopt},
           {"0xg1", std::nullopt},
           {"", std::nullopt}}) {
    EXPECT_EQ(UVCCameraControl::locationIdFromUniqueId(text), location) << text;
  }
  auto camera = std::make_shared<FakeUvcCamera>();
  FakeUvcTransportFactory factory(camera, kLocation);
  EXPECT_TRUE(UVCCameraControl::withUniqueId("0x3142000b206b215", factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withUniqueId("not an id", factory).hasInterface());
  EXPECT_THAT(factory.askedLocations, ElementsAre(kLocation));
}

TEST(UVCCameraControlOpening, VendorAndProductBeyondSixteenBitsMatchNothing) {
  auto camera = std::make_shared<FakeUvcCamera>();
  FakeUvcTransportFactory factory(camera, kLocation);
  EXPECT_TRUE(UVCCameraControl::withVendorProduct(0xB206, 0xB215, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(0xB206, 0xB216, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(0x1B206, 0xB215, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(-1, 0xB215, factory).hasInterface());
  EXPECT_EQ(factory.askedIds.size(), 2u);
}

TEST(UVCCameraControlMapValue, MapsLinearlyAndAnEmptySourceRangeToItsStart) {
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(50, 0, 100, 78, 178), 128);
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(0.25f, 0, 1, 100, 0), 75);
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(3, 5, 5, 10, 20), 10);
}

}  // namespace
}  // namespace vexhal
