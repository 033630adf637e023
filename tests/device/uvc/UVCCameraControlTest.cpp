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

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Each;
using testing::FakeUvcCamera;
using testing::FakeUvcTransport;
using testing::FakeUvcTransportFactory;
using testing::UvcLogCapture;

constexpr std::uint32_t kLocation = 0x03142000;

struct Named {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& p) const {
    return p.param.name;
  }
};

class UVCCameraControlTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeUvcCamera> camera = std::make_shared<FakeUvcCamera>();
  UVCCameraControl control{std::make_unique<FakeUvcTransport>(camera)};
  UvcLogCapture log;

  const testing::SeenRequest& only() const {
    EXPECT_EQ(camera->seen.size(), 1u);
    return camera->seen.front();
  }
};

// ---- SET requests of the image controls: clamping, selector and the two value bytes.

struct ImageSetCase {
  const char* name;
  bool (UVCCameraControl::*setter)(std::int64_t);
  std::int64_t value;
  std::uint16_t wValue;
  std::uint8_t low;
  std::uint8_t high;
};

class ImageSet : public UVCCameraControlTest, public ::testing::WithParamInterface<ImageSetCase> {};

TEST_P(ImageSet, SendsClampedValueAsTwoLittleEndianBytes) {
  const ImageSetCase& c = GetParam();
  EXPECT_TRUE((control.*c.setter)(c.value));
  const testing::SeenRequest& r = only();
  EXPECT_EQ(r.bmRequestType, 0x21);
  EXPECT_EQ(r.bRequest, 0x01);
  EXPECT_EQ(r.wValue, c.wValue);
  EXPECT_EQ(r.wIndex, 0x0200);
  EXPECT_EQ(r.wLength, 2);
  EXPECT_EQ(r.wLenDone, 0u);
  EXPECT_EQ(r.bytes[0], c.low);
  EXPECT_EQ(r.bytes[1], c.high);
  EXPECT_TRUE(log.lines.empty());
}

const std::vector<ImageSetCase> kImageSets = {
        ImageSetCase{"BrightnessBelowRange", &UVCCameraControl::setBrightness, 50, 0x0200, 0x4E, 0},
        ImageSetCase{"BrightnessAboveRange", &UVCCameraControl::setBrightness, 300, 0x0200, 0xB2,
                     0},
        ImageSetCase{"BrightnessInRange", &UVCCameraControl::setBrightness, 120, 0x0200, 0x78, 0},
        ImageSetCase{"BrightnessLowerBound", &UVCCameraControl::setBrightness, 78, 0x0200, 0x4E,
                     0},
        ImageSetCase{"BrightnessUpperBound", &UVCCameraControl::setBrightness, 178, 0x0200, 0xB2,
                     0},
        ImageSetCase{"ContrastNegative", &UVCCameraControl::setContrast, -5, 0x0300, 0x4E, 0},
        ImageSetCase{"SaturationBeyond32Bits", &UVCCameraControl::setSaturation,
                     (std::int64_t{1} << 32) + 100, 0x0700, 0xB2, 0},
        ImageSetCase{"SharpnessMinimum64", &UVCCameraControl::setSharpness,
                     std::numeric_limits<std::int64_t>::min(), 0x0800, 0x4E, 0},
        ImageSetCase{"SharpnessInRange", &UVCCameraControl::setSharpness, 150, 0x0800, 0x96, 0}};

INSTANTIATE_TEST_SUITE_P(Cases, ImageSet, ::testing::ValuesIn(kImageSets), Named());

TEST_F(UVCCameraControlTest, SetValueClampsAnyControlIntoTheFixedRange) {
  EXPECT_EQ(control.getRangeForControl(kUvcGain), std::make_pair(78, 178));
  EXPECT_TRUE(control.setValue(std::numeric_limits<std::int32_t>::max(), kUvcGain));
  EXPECT_TRUE(control.setValue(77, kUvcContrast));
  ASSERT_EQ(camera->seen.size(), 2u);
  EXPECT_EQ(camera->seen[0].wValue, 0x0400);
  EXPECT_THAT(std::vector(camera->seen[0].bytes.begin(), camera->seen[0].bytes.begin() + 2),
              ElementsAre(178, 0));
  EXPECT_THAT(std::vector(camera->seen[1].bytes.begin(), camera->seen[1].bytes.begin() + 2),
              ElementsAre(78, 0));
}

// ---- Raw SET: the value's low bytes in order, whatever the length.

struct RawSetCase {
  std::int32_t length;
  std::vector<std::uint8_t> sent;
};

class RawSet : public UVCCameraControlTest, public ::testing::WithParamInterface<RawSetCase> {};

TEST_P(RawSet, SendsTheLowBytesLowestFirst) {
  const RawSetCase& c = GetParam();
  EXPECT_TRUE(control.setData(0x1122334455667788, c.length, 9, 6));
  const testing::SeenRequest& r = only();
  EXPECT_EQ(r.wValue, 0x0900);
  EXPECT_EQ(r.wIndex, 0x0600);
  EXPECT_EQ(r.wLength, c.length);
  EXPECT_EQ(std::vector(r.bytes.begin(), r.bytes.begin() + c.length), c.sent);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RawSet,
                         ::testing::Values(RawSetCase{1, {0x88}}, RawSetCase{2, {0x88, 0x77}},
                                           RawSetCase{4, {0x88, 0x77, 0x66, 0x55}},
                                           RawSetCase{8,
                                                      {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22,
                                                       0x11}}));

// ---- GET requests: record, cleared buffer, little-endian answer.

TEST_F(UVCCameraControlTest, GetCurOfBrightnessReadsTheAnsweredBytes) {
  camera->answer = {0x96, 0x00};
  EXPECT_EQ(control.getBrightness(), 150);
  const testing::SeenRequest& r = only();
  EXPECT_EQ(r.bmRequestType, 0xA1);
  EXPECT_EQ(r.bRequest, 0x81);
  EXPECT_EQ(r.wValue, 0x0200);
  EXPECT_EQ(r.wIndex, 0x0200);
  EXPECT_EQ(r.wLength, 2);
  EXPECT_EQ(r.wLenDone, 0u);
  EXPECT_THAT(r.bytes, ElementsAreArray(std::vector<std::uint8_t>(8, 0)));
}

struct GetCase {
  const char* name;
  std::function<std::int64_t(UVCCameraControl&)> get;
  std::vector<std::uint8_t> answer;
  std::int64_t expected;
  std::uint16_t wValue;
  std::uint16_t wIndex;
  std::uint16_t wLength;
};

class Get : public UVCCameraControlTest, public ::testing::WithParamInterface<GetCase> {};

TEST_P(Get, AsksTheControlAndReadsLittleEndian) {
  const GetCase& c = GetParam();
  camera->answer = c.answer;
  EXPECT_EQ(c.get(control), c.expected);
  const testing::SeenRequest& r = only();
  EXPECT_EQ(r.bRequest, 0x81);
  EXPECT_EQ(r.wValue, c.wValue);
  EXPECT_EQ(r.wIndex, c.wIndex);
  EXPECT_EQ(r.wLength, c.wLength);
}

const std::vector<GetCase> kGets = {
        GetCase{"TwoBytesComeBackUnsigned", &UVCCameraControl::getContrast, {0xFF, 0xFF}, 65535,
                0x0300, 0x0200, 2},
        GetCase{"Saturation", &UVCCameraControl::getSaturation, {0x80, 0x00}, 128, 0x0700, 0x0200,
                2},
        GetCase{"Sharpness", &UVCCameraControl::getSharpness, {0x00, 0x01}, 256, 0x0800, 0x0200,
                2},
        // Only wLength bytes are taken from the camera, the rest of the buffer stays zero.
        GetCase{"OnlyLengthBytesCount", &UVCCameraControl::getBrightness, {0x34, 0x12, 0xFF, 0xFF},
                0x1234, 0x0200, 0x0200, 2},
        GetCase{"ExposureTime", &UVCCameraControl::getExposureTime, {0x45, 0x23, 0x01, 0x00},
                0x12345, 0x0400, 0x0100, 4},
        GetCase{"Gain", &UVCCameraControl::getGain, {0x10, 0x00}, 16, 0x0400, 0x0200, 2},
        GetCase{"WhiteBalanceTemperature", &UVCCameraControl::getWhiteBalanceTemperature,
                {0xF8, 0x11}, 4600, 0x0A00, 0x0200, 2},
        GetCase{"AutoExposureOn", [](UVCCameraControl& c) -> std::int64_t { return c.getAutoExposure(); },
                {0x02}, 1, 0x0200, 0x0100, 1},
        GetCase{"AutoExposureOffWhenManual",
                [](UVCCameraControl& c) -> std::int64_t { return c.getAutoExposure(); }, {0x01}, 0,
                0x0200, 0x0100, 1},
        GetCase{"AutoExposureOffForShutterPriority",
                [](UVCCameraControl& c) -> std::int64_t { return c.getAutoExposure(); }, {0x04}, 0,
                0x0200, 0x0100, 1},
        GetCase{"AutoWhiteBalance",
                [](UVCCameraControl& c) -> std::int64_t { return c.getAutoWhiteBalance(); },
                {0x01}, 1, 0x0B00, 0x0200, 1},
        GetCase{"PeopleCentredFraming",
                [](UVCCameraControl& c) -> std::int64_t { return c.getPeopleCentredFraming(); },
                {0x01}, 1, 0x0100, 0x0600, 1},
        GetCase{"FieldOfView", &UVCCameraControl::getFieldOfView, {90}, 90, 0x0200, 0x0600, 1},
        GetCase{"HorizontalMirrorOff",
                [](UVCCameraControl& c) -> std::int64_t { return c.getHorizontalMirror(); },
                {0x00}, 0, 0x0300, 0x0600, 1}};

INSTANTIATE_TEST_SUITE_P(Controls, Get, ::testing::ValuesIn(kGets), Named());

TEST_F(UVCCameraControlTest, GetDataForPassesTheRequestCodeAndReadsEightBytes) {
  camera->answer = {1, 2, 3, 4, 5, 6, 7, 0x80};
  EXPECT_EQ(control.getDataFor(0x83, 8, 2, 2), static_cast<std::int64_t>(0x8007060504030201));
  EXPECT_EQ(only().bRequest, 0x83);
  EXPECT_EQ(only().bmRequestType, 0xA1);
}

TEST_F(UVCCameraControlTest, GetValueForControlCutsToThirtyTwoBits) {
  camera->answer = {0x01, 0x00, 0x00, 0x00, 0x01};
  EXPECT_EQ(control.getValueForControl(UVCControlInfo{2, 2, 8}), 1);
}

// ---- Further controls: unit, selector, size and the value sent, unclamped.

struct FurtherSetCase {
  const char* name;
  std::function<bool(UVCCameraControl&)> set;
  std::uint16_t wValue;
  std::uint16_t wIndex;
  std::uint16_t wLength;
  std::vector<std::uint8_t> sent;
};

class FurtherSet : public UVCCameraControlTest,
                   public ::testing::WithParamInterface<FurtherSetCase> {};

TEST_P(FurtherSet, SendsItsOwnUnitSelectorAndSize) {
  const FurtherSetCase& c = GetParam();
  EXPECT_TRUE(c.set(control));
  const testing::SeenRequest& r = only();
  EXPECT_EQ(r.bRequest, 0x01);
  EXPECT_EQ(r.wValue, c.wValue);
  EXPECT_EQ(r.wIndex, c.wIndex);
  EXPECT_EQ(r.wLength, c.wLength);
  EXPECT_EQ(std::vector(r.bytes.begin(), r.bytes.begin() + c.wLength), c.sent);
}

const std::vector<FurtherSetCase> kFurtherSets = {
        FurtherSetCase{"AutoExposureOn", [](auto& c) { return c.setAutoExposure(true); }, 0x0200,
                       0x0100, 1, {2}},
        FurtherSetCase{"AutoExposureOff", [](auto& c) { return c.setAutoExposure(false); }, 0x0200,
                       0x0100, 1, {1}},
        FurtherSetCase{"ExposureTime", [](auto& c) { return c.setExposureTime(0x12345); }, 0x0400,
                       0x0100, 4, {0x45, 0x23, 0x01, 0x00}},
        FurtherSetCase{"Gain", [](auto& c) { return c.setGain(255); }, 0x0400, 0x0200, 2,
                       {0xFF, 0x00}},
        FurtherSetCase{"WhiteBalanceTemperature",
                       [](auto& c) { return c.setWhiteBalanceTemperature(6500); }, 0x0A00, 0x0200,
                       2, {0x64, 0x19}},
        FurtherSetCase{"AutoWhiteBalanceOn", [](auto& c) { return c.setAutoWhiteBalance(true); },
                       0x0B00, 0x0200, 1, {1}},
        FurtherSetCase{"AutoWhiteBalanceOff", [](auto& c) { return c.setAutoWhiteBalance(false); },
                       0x0B00, 0x0200, 1, {0}},
        FurtherSetCase{"PeopleCentredFraming",
                       [](auto& c) { return c.setPeopleCentredFraming(true); }, 0x0100, 0x0600, 1,
                       {1}},
        FurtherSetCase{"FieldOfView", [](auto& c) { return c.setFieldOfView(120); }, 0x0200,
                       0x0600, 1, {120}},
        FurtherSetCase{"HorizontalMirror", [](auto& c) { return c.setHorizontalMirror(true); },
                       0x0300, 0x0600, 1, {1}}};

INSTANTIATE_TEST_SUITE_P(Controls, FurtherSet, ::testing::ValuesIn(kFurtherSets), Named());

// ---- Failures.

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
  EXPECT_EQ(log.lines.front(), "CameraControl Error: Invalid request (length 0, selector 2, unit 2)");
}

TEST(UVCCameraControlMissing, EveryRequestFailsWithItsLogLine) {
  UvcLogCapture log;
  auto camera = std::make_shared<FakeUvcCamera>();
  FakeUvcTransportFactory factory(camera, kLocation);
  UVCCameraControl control(0x01100000, factory);
  EXPECT_FALSE(control.hasInterface());
  EXPECT_THAT(factory.askedLocations, ElementsAre(0x01100000u));

  // Every operation of the tables above.
  for (const GetCase& c : kGets) {
    EXPECT_EQ(c.get(control), 0) << c.name;
  }
  for (const ImageSetCase& c : kImageSets) {
    EXPECT_FALSE((control.*c.setter)(c.value)) << c.name;
  }
  for (const FurtherSetCase& c : kFurtherSets) {
    EXPECT_FALSE(c.set(control)) << c.name;
  }
  EXPECT_TRUE(camera->seen.empty());
  EXPECT_EQ(log.lines.size(), kGets.size() + kImageSets.size() + kFurtherSets.size());
  EXPECT_THAT(log.lines, Each(std::string("CameraControl Error: No interface to send request")));
}

// ---- Opening by unique identifier and by USB ids.

struct UniqueIdCase {
  const char* text;
  std::optional<std::uint32_t> location;
};

class UniqueId : public ::testing::TestWithParam<UniqueIdCase> {};

TEST_P(UniqueId, NamesTheLocationBeforeTheUsbIds) {
  EXPECT_EQ(UVCCameraControl::locationIdFromUniqueId(GetParam().text), GetParam().location)
      << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UniqueId,
    ::testing::Values(UniqueIdCase{"0x3142000b206b215", 0x03142000},  // bus below 16
                      UniqueIdCase{"0x14100000046d085b", 0x14100000},
                      UniqueIdCase{"0x03142000", 0x03142000}, UniqueIdCase{"0X1f", 0x1f},
                      UniqueIdCase{"0x3142000b206b215-extra", 0x03142000},
                      UniqueIdCase{"0xFFFFFFFF00000000", 0xFFFFFFFF},
                      UniqueIdCase{"0x1FFFFFFFF00000000", std::nullopt},  // beyond 32 bits
                      UniqueIdCase{"0x", std::nullopt}, UniqueIdCase{"3142000", std::nullopt},
                      UniqueIdCase{"0xg1", std::nullopt}, UniqueIdCase{"", std::nullopt}));

TEST(UVCCameraControlOpening, UniqueIdOpensTheLocationItNames) {
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

TEST(UVCCameraControlOpening, InstalledFactoryServesTheLocationConstructor) {
  auto camera = std::make_shared<FakeUvcCamera>();
  auto factory = std::make_shared<FakeUvcTransportFactory>(camera, kLocation);
  UVCTransportFactory::install(factory);
  UVCCameraControl control(kLocation);
  UVCTransportFactory::install(nullptr);
  EXPECT_TRUE(control.setBrightness(128));
  EXPECT_EQ(camera->seen.size(), 1u);
  EXPECT_NE(UVCTransportFactory::current(), factory);
}

// ---- The linear mapping helper.

struct MapCase {
  float value, fromMin, fromMax, toMin, toMax, expected;
};

class MapValue : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapValue, MapsLinearly) {
  const MapCase& c = GetParam();
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(c.value, c.fromMin, c.fromMax, c.toMin, c.toMax),
                  c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ranges, MapValue,
                         ::testing::Values(MapCase{50, 0, 100, 78, 178, 128},
                                           MapCase{78, 78, 178, 0, 100, 0},
                                           MapCase{178, 78, 178, 0, 1, 1},
                                           MapCase{0.25f, 0, 1, 100, 0, 75},
                                           MapCase{3, 5, 5, 10, 20, 10}));  // empty source range

}  // namespace
}  // namespace vexhal
