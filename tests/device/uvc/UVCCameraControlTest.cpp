// UVCCameraControl over the V4L2 transport and a fake kernel: the driver control each control
// reaches, how values are read, the clamping of the image controls, failures and their log
// lines, and how a camera is found.
#include "device/uvc/UVCCameraControl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <limits>

#include "FakeV4l2Kernel.h"
#include "UvcLogCapture.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"

namespace vexhal {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeV4l2Kernel;
using testing::UvcLogCapture;

constexpr std::uint32_t kLocation = 0x03142000;

// The camera the tests control, and another one at location 0 that a misread id would find.
std::vector<UdevCamera> cameras() {
  return {{"/sys/usb3",
           UsbSysfsIdentity{0xB206, 0xB215, kLocation, 3, "1.4.2", ""},
           {},
           {{"/dev/video0", "", true}}},
          {"/sys/usb1",
           UsbSysfsIdentity{0x046d, 0x085b, 0, 1, "1", ""},
           {},
           {{"/dev/video1", "", true}}}};
}

std::shared_ptr<FakeV4l2Kernel> kernelWithCameras() {
  auto kernel = std::make_shared<FakeV4l2Kernel>();
  kernel->addNode("/dev/video0", {});
  kernel->addNode("/dev/video1", {});
  return kernel;
}

class UVCCameraControlTest : public ::testing::Test {
 protected:
  // The control takes the factory's log when it is made, so the log is set first.
  V4l2UvcTransportFactory& loggedFactory() {
    factory.setLog(log.log());
    return factory;
  }

  UvcLogCapture log;
  std::shared_ptr<FakeV4l2Kernel> kernel = kernelWithCameras();
  V4l2UvcTransportFactory factory{&cameras, kernel};
  UVCCameraControl control{kLocation, loggedFactory()};
};

// A control set (when it can be) and read: the driver control, or extension-unit selector, it
// reaches, the value a SET leaves there, and the value a GET makes of the driver's.
struct ControlCase {
  const char* name;
  std::function<bool(UVCCameraControl&)> set;
  std::function<std::int64_t(UVCCameraControl&)> get;
  std::uint32_t id;  // below 0x100: a selector of the extension unit
  std::int32_t sent;
  std::int32_t answer;
  std::int64_t got;
};

class Control : public UVCCameraControlTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(Control, ReachesItsDriverControlAndReadsItsValue) {
  const ControlCase& c = GetParam();
  const bool extension = c.id < 0x100;
  if (!extension) kernel->controls[c.id] = {};
  if (c.set) {
    EXPECT_TRUE(c.set(control));
    if (extension) {
      EXPECT_EQ(std::tie(kernel->lastQuery.unit, kernel->lastQuery.selector),
                std::make_tuple(6, c.id));
      EXPECT_THAT(kernel->querySent, ElementsAre(c.sent));
    } else {
      EXPECT_EQ(kernel->controls[c.id].value, c.sent);
    }
  }
  if (extension) {
    kernel->queryAnswer = {static_cast<std::uint8_t>(c.answer)};
  } else {
    kernel->controls[c.id].value = c.answer;
  }
  EXPECT_EQ(c.get(control), c.got);
  EXPECT_TRUE(log.lines.empty());
}

std::int64_t flag(bool value) { return value ? 1 : 0; }

// clang-format off
const std::vector<ControlCase> kControls = {
    {"Brightness", [](auto& c) { return c.setBrightness(120); }, &UVCCameraControl::getBrightness,
     V4L2_CID_BRIGHTNESS, 120, 0x1234, 0x1234},
    {"ContrastIsUnsigned", [](auto& c) { return c.setContrast(178); },
     &UVCCameraControl::getContrast, V4L2_CID_CONTRAST, 178, 65535, 65535},
    {"Saturation", [](auto& c) { return c.setSaturation(78); }, &UVCCameraControl::getSaturation,
     V4L2_CID_SATURATION, 78, 128, 128},
    {"Sharpness", [](auto& c) { return c.setSharpness(150); }, &UVCCameraControl::getSharpness,
     V4L2_CID_SHARPNESS, 150, 256, 256},
    {"AutoExposureOn", [](auto& c) { return c.setAutoExposure(true); },
     [](auto& c) { return flag(c.getAutoExposure()); }, V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO, 1},
    {"AutoExposureOffIsManual", [](auto& c) { return c.setAutoExposure(false); },
     [](auto& c) { return flag(c.getAutoExposure()); }, V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_MANUAL, 0},
    {"ShutterPriorityIsNotAuto", nullptr, [](auto& c) { return flag(c.getAutoExposure()); },
     V4L2_CID_EXPOSURE_AUTO, 0, V4L2_EXPOSURE_SHUTTER_PRIORITY, 0},
    {"ExposureTime", [](auto& c) { return c.setExposureTime(0x12345); },
     &UVCCameraControl::getExposureTime, V4L2_CID_EXPOSURE_ABSOLUTE, 0x12345, 0x12345, 0x12345},
    {"GainUnclamped", [](auto& c) { return c.setGain(255); }, &UVCCameraControl::getGain,
     V4L2_CID_GAIN, 255, 16, 16},
    {"WhiteBalanceTemperature", [](auto& c) { return c.setWhiteBalanceTemperature(6500); },
     &UVCCameraControl::getWhiteBalanceTemperature, V4L2_CID_WHITE_BALANCE_TEMPERATURE, 6500,
     4600, 4600},
    {"AutoWhiteBalanceOn", [](auto& c) { return c.setAutoWhiteBalance(true); },
     [](auto& c) { return flag(c.getAutoWhiteBalance()); }, V4L2_CID_AUTO_WHITE_BALANCE, 1, 1, 1},
    {"AutoWhiteBalanceOff", [](auto& c) { return c.setAutoWhiteBalance(false); },
     [](auto& c) { return flag(c.getAutoWhiteBalance()); }, V4L2_CID_AUTO_WHITE_BALANCE, 0, 0, 0},
    {"PeopleCentredFraming", [](auto& c) { return c.setPeopleCentredFraming(true); },
     [](auto& c) { return flag(c.getPeopleCentredFraming()); }, 1, 1, 1, 1},
    {"FieldOfView", [](auto& c) { return c.setFieldOfView(120); },
     &UVCCameraControl::getFieldOfView, 2, 120, 90, 90},
    {"HorizontalMirror", [](auto& c) { return c.setHorizontalMirror(true); },
     [](auto& c) { return flag(c.getHorizontalMirror()); }, 3, 1, 0, 0}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Controls, Control, ::testing::ValuesIn(kControls),
                         [](const auto& p) { return std::string(p.param.name); });

// The image controls keep the program's range, 78 to 178, whatever they are given.
struct ClampCase {
  bool (UVCCameraControl::*set)(std::int64_t);
  std::uint32_t id;
  std::int64_t value;
  std::int32_t sent;
};

const std::vector<ClampCase> kClamps = {
    {&UVCCameraControl::setBrightness, V4L2_CID_BRIGHTNESS, 50, 78},
    {&UVCCameraControl::setBrightness, V4L2_CID_BRIGHTNESS, 300, 178},
    {&UVCCameraControl::setBrightness, V4L2_CID_BRIGHTNESS, 78, 78},
    {&UVCCameraControl::setBrightness, V4L2_CID_BRIGHTNESS, 178, 178},
    {&UVCCameraControl::setContrast, V4L2_CID_CONTRAST, -5, 78},
    {&UVCCameraControl::setSaturation, V4L2_CID_SATURATION, (std::int64_t{1} << 32) + 100, 178},
    {&UVCCameraControl::setSharpness, V4L2_CID_SHARPNESS, std::numeric_limits<std::int64_t>::min(),
     78}};

TEST_F(UVCCameraControlTest, ImageControlsAreClampedIntoTheProgramsRange) {
  for (const auto id :
       {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION, V4L2_CID_SHARPNESS})
    kernel->controls[id] = {};
  for (const ClampCase& c : kClamps) {
    EXPECT_TRUE((control.*c.set)(c.value));
    EXPECT_EQ(kernel->controls[c.id].value, c.sent) << c.value;
  }
}

TEST_F(UVCCameraControlTest, RefusedRequestGivesFalseOrZeroAndLogsTheStatus) {
  kernel->controls[V4L2_CID_BRIGHTNESS].value = 150;
  kernel->queryAnswer = {1};
  for (const auto request : {VIDIOC_S_CTRL, VIDIOC_G_CTRL, UVCIOC_CTRL_QUERY})
    kernel->failures[request] = EOPNOTSUPP;
  EXPECT_FALSE(control.setBrightness(120));
  EXPECT_EQ(control.getBrightness(), 0);
  EXPECT_FALSE(control.getHorizontalMirror());
  EXPECT_THAT(log.lines, ElementsAre("CameraControl Error: Control request failed: 0000005f",
                                     "CameraControl Error: Control request failed: 0000005f",
                                     "CameraControl Error: Control request failed: 0000005f"));
}

TEST_F(UVCCameraControlTest, LengthsThatDoNotFitTheValueAreRefusedBeforeSending) {
  const std::size_t calls = kernel->state().calls.size();
  for (const std::int32_t length : {0, -1, 9, 1024}) {
    EXPECT_FALSE(control.setData(1, length, 2, 2)) << length;
    EXPECT_EQ(control.getDataFor(0x81, length, 2, 2), 0) << length;
  }
  EXPECT_FALSE(control.setData(1, 2, 256, 2));
  EXPECT_EQ(control.getDataFor(0x81, 2, 2, -1), 0);
  EXPECT_EQ(control.getDataFor(0x181, 2, 2, 2), 0);
  EXPECT_EQ(kernel->state().calls.size(), calls);
  EXPECT_EQ(log.lines.size(), 11u);
  EXPECT_EQ(log.lines.back(), "CameraControl Error: Invalid request code 385");
  EXPECT_EQ(log.lines.front(),
            "CameraControl Error: Invalid request (length 0, selector 2, unit 2)");
}

TEST_F(UVCCameraControlTest, WithoutACameraEveryRequestFailsWithItsLogLine) {
  UVCCameraControl missing(0x01100000, factory);
  EXPECT_FALSE(missing.hasInterface());
  const std::size_t calls = kernel->state().calls.size();
  std::size_t operations = 0;
  for (const ControlCase& c : kControls) {
    EXPECT_EQ(c.get(missing), 0) << c.name;
    EXPECT_FALSE(c.set && c.set(missing)) << c.name;
    operations += c.set ? 2 : 1;
  }
  for (const ClampCase& c : kClamps) {
    EXPECT_FALSE((missing.*c.set)(c.value));
  }
  EXPECT_EQ(kernel->state().calls.size(), calls);
  EXPECT_EQ(log.lines.size(), operations + kClamps.size());
  EXPECT_THAT(log.lines, Each(std::string("CameraControl Error: No interface to send request")));
}

TEST_F(UVCCameraControlTest, AUniqueIdNamesTheLocationBeforeTheUsbIds) {
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
  EXPECT_TRUE(UVCCameraControl::withUniqueId("0x3142000b206b215", factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withUniqueId("not an id", factory).hasInterface());
}

TEST_F(UVCCameraControlTest, VendorAndProductBeyondSixteenBitsMatchNothing) {
  EXPECT_TRUE(UVCCameraControl::withVendorProduct(0xB206, 0xB215, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(0xB206, 0xB216, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(0x1B206, 0xB215, factory).hasInterface());
  EXPECT_FALSE(UVCCameraControl::withVendorProduct(-1, 0xB215, factory).hasInterface());
}

TEST(UVCCameraControlMapValue, MapsLinearlyAndAnEmptySourceRangeToItsStart) {
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(50, 0, 100, 78, 178), 128);
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(0.25f, 0, 1, 100, 0), 75);
  EXPECT_FLOAT_EQ(UVCCameraControl::mapValue(3, 5, 5, 10, 20), 10);
}

}  // namespace
}  // namespace vexhal
