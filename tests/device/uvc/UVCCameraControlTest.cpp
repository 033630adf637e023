// UVCCameraControl over the real V4L2 transport and a fake kernel: the driver control each
// control reaches, the clamping of the image controls, the records the transport refuses,
// failures and their log lines, and which node of which camera the factory opens; the watch
// on the image controls over the same kernel.
#include "device/uvc/UVCCameraControl.h"

#include <fcntl.h>
#include <linux/uvcvideo.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <limits>

#include "FakeV4l2Kernel.h"
#include "common/EventLoop.h"
#include "device/uvc/linux/V4l2UvcTransport.h"
#include "device/uvc/linux/V4l2UvcControlWatch.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"

namespace vexhal {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeV4l2Kernel;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kCamera = 0x03142000;
constexpr std::uint32_t kOther = 0x01100000;

UdevCamera camera(std::int64_t location, std::vector<std::string> nodes) {
  UdevCamera camera{"/sys/usb", UsbSysfsIdentity{0xB206, 0xB215, location, 3, "1", ""}, {}, {}};
  for (const std::string& node : nodes) camera.videoNodes.push_back({node, "", true});
  return camera;
}

// Two cameras of one model, each with a capture and a metadata node; the one at kCamera lists
// its metadata node first.
std::vector<UdevCamera> cameras() {
  return {camera(kOther, {"/dev/video0", "/dev/video1"}),
          camera(kCamera, {"/dev/video2", "/dev/video3"})};
}

std::shared_ptr<FakeV4l2Kernel> camerasKernel() {
  auto kernel = std::make_shared<FakeV4l2Kernel>();
  const std::uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  const std::uint32_t metadata = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  const std::uint32_t caps[] = {capture, metadata, metadata, capture};
  for (int i = 0; i < 4; ++i)
    kernel->addNode("/dev/video" + std::to_string(i), FakeV4l2Kernel::nodeWith(caps[i]));
  return kernel;
}

// The factory logs its failures, and those of the controls it makes, into `log`.
class Uvc : public ::testing::Test {
 protected:
  Uvc() { factory.setLog(sink()); }
  UVCLog sink() {
    return UVCLog([this](const std::string& line) { log.push_back(line); });
  }

  Lines log;
  std::shared_ptr<FakeV4l2Kernel> kernel = camerasKernel();
  V4l2UvcTransportFactory factory{&cameras, kernel};
};

class UVCCameraControlTest : public Uvc {
 protected:
  UVCCameraControl control{kCamera, factory};
};

// A control set (when it can be) and read: the driver control it reaches, the value a SET leaves
// there, and the value a GET makes of the driver's.
struct ControlCase {
  const char* name;
  std::function<bool(UVCCameraControl&)> set;
  std::function<std::int64_t(UVCCameraControl&)> get;
  std::uint32_t id;
  std::int32_t sent;
  std::int32_t answer;
  std::int64_t got;
};

class Control : public UVCCameraControlTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(Control, ReachesItsDriverControlAndReadsItsValue) {
  const ControlCase& c = GetParam();
  kernel->controls[c.id] = 0;
  EXPECT_TRUE(c.set(control));
  EXPECT_EQ(kernel->controls[c.id], c.sent);
  kernel->controls[c.id] = c.answer;
  EXPECT_EQ(c.get(control), c.got);
  EXPECT_TRUE(log.empty());
}

std::int64_t flag(bool value) { return value ? 1 : 0; }

// clang-format off
const std::vector<ControlCase> kControls = {
    {"Brightness", [](auto& c) { return c.setBrightness(120); }, &UVCCameraControl::getBrightness,
     V4L2_CID_BRIGHTNESS, 120, 0x1234, 0x1234},
    {"ContrastIsUnsigned", [](auto& c) { return c.setContrast(178); },
     &UVCCameraControl::getContrast, V4L2_CID_CONTRAST, 178, 65535, 65535},
    {"AutoExposureOn", [](auto& c) { return c.setAutoExposure(true); },
     [](auto& c) { return flag(c.getAutoExposure()); }, V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO, 1},
    {"AutoExposureOffIsManual", [](auto& c) { return c.setAutoExposure(false); },
     [](auto& c) { return flag(c.getAutoExposure()); }, V4L2_CID_EXPOSURE_AUTO,
     V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_MANUAL, 0}};
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
    {&UVCCameraControl::setBrightness, V4L2_CID_BRIGHTNESS, 300, 178},
    {&UVCCameraControl::setContrast, V4L2_CID_CONTRAST, -5, 78},
    {&UVCCameraControl::setSaturation, V4L2_CID_SATURATION, (std::int64_t{1} << 32) + 100, 178},
    {&UVCCameraControl::setSharpness, V4L2_CID_SHARPNESS, std::numeric_limits<std::int64_t>::min(),
     78}};

TEST_F(UVCCameraControlTest, ImageControlsAreClampedIntoTheProgramsRange) {
  for (const ClampCase& c : kClamps) {
    kernel->controls[c.id] = 0;
    EXPECT_TRUE((control.*c.set)(c.value));
    EXPECT_EQ(kernel->controls[c.id], c.sent) << c.value;
  }
}

TEST_F(UVCCameraControlTest, RefusedRequestGivesFalseOrZeroAndLogsTheStatus) {
  kernel->controls[V4L2_CID_BRIGHTNESS] = 150;
  for (const auto request : {VIDIOC_S_CTRL, VIDIOC_G_CTRL}) kernel->failures[request] = EOPNOTSUPP;
  EXPECT_FALSE(control.setBrightness(120));
  EXPECT_EQ(control.getBrightness(), 0);
  EXPECT_THAT(log, ElementsAre("CameraControl Error: Control request failed: 0000005f",
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
  EXPECT_EQ(log.size(), 11u);
  EXPECT_EQ(log.back(), "CameraControl Error: Invalid request code 385");
  EXPECT_EQ(log.front(), "CameraControl Error: Invalid request (length 0, selector 2, unit 2)");
}

TEST_F(UVCCameraControlTest, WithoutACameraEveryRequestFailsWithItsLogLine) {
  UVCCameraControl missing(0x02100000, factory);
  EXPECT_FALSE(missing.hasInterface());
  const std::size_t calls = kernel->state().calls.size();
  for (const ControlCase& c : kControls) {
    EXPECT_EQ(c.get(missing), 0) << c.name;
    EXPECT_FALSE(c.set(missing)) << c.name;
  }
  EXPECT_EQ(kernel->state().calls.size(), calls);
  EXPECT_EQ(log.size(), 2 * kControls.size());
  EXPECT_THAT(log, Each(std::string("CameraControl Error: No interface to send request")));
}

// The transport on the first camera's capture node: records the driver cannot carry, and the
// driver's own failures. The reason, and nothing moved.
using Arrange = std::function<void(UVCControlRequest&, FakeV4l2Kernel&)>;
struct FailureCase {
  const char* name;
  std::uint8_t type;
  std::uint8_t code;
  int unit;
  int selector;
  std::size_t length;
  Arrange arrange;
  int status;
  std::size_t driverCalls;
};

class Failure : public Uvc, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failure, ReportsTheReasonAndMovesNothing) {
  const FailureCase& c = GetParam();
  V4l2UvcTransport transport(kernel->open("/dev/video0", O_RDWR), kernel);
  kernel->controls[V4L2_CID_BRIGHTNESS] = 0;
  kernel->controls[V4L2_CID_EXPOSURE_AUTO] = 0;
  Bytes bytes(c.length, 0);
  UVCControlRequest r;
  r.bmRequestType = c.type;
  r.bRequest = c.code;
  r.wValue = static_cast<std::uint16_t>(c.selector << 8);
  r.wIndex = static_cast<std::uint16_t>(c.unit << 8);
  r.wLength = static_cast<std::uint16_t>(c.length);
  r.pData = bytes.data();
  if (c.arrange) c.arrange(r, *kernel);
  const Bytes before = bytes;
  EXPECT_EQ(transport.controlRequest(r), c.status);
  EXPECT_EQ(r.wLenDone, 0u);
  EXPECT_EQ(kernel->state().calls.size(), c.driverCalls);
  EXPECT_EQ(bytes, before);
}

Arrange fails(unsigned long request, int error) {
  return [=](UVCControlRequest&, FakeV4l2Kernel& k) { k.failures[request] = error; };
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Failure, ::testing::Values(
    FailureCase{"UnknownProcessingUnitSelector", 0xA1, 0x81, 2, 0x12, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"OtherInterface", 0xA1, 0x81, 2, 2, 2, [](auto& r, auto&) { r.wIndex |= 1; },
                EOPNOTSUPP, 0},
    FailureCase{"ZeroLength", 0x21, 0x01, 6, 1, 0, {}, EINVAL, 0},
    FailureCase{"NoValueBytes", 0xA1, 0x81, 6, 1, 1, [](auto& r, auto&) { r.pData = nullptr; },
                EINVAL, 0},
    FailureCase{"ExposureModeWithoutAMeaning", 0x21, 0x01, 1, 2, 1,
                [](auto& r, auto&) { r.pData[0] = 3; }, ERANGE, 0},
    FailureCase{"ExposureTimeBeyondV4l2", 0x21, 0x01, 1, 4, 4,
                [](auto& r, auto&) { r.pData[3] = 0x80; }, ERANGE, 0},
    FailureCase{"DriverReportsUnknownExposureMode", 0xA1, 0x81, 1, 2, 1,
                [](auto&, auto& k) { k.controls[V4L2_CID_EXPOSURE_AUTO] = 9; }, ERANGE, 1},
    FailureCase{"DriverRefusesGet", 0xA1, 0x81, 2, 2, 2, fails(VIDIOC_G_CTRL, ENODEV), ENODEV, 1},
    FailureCase{"ControlMissingInDriver", 0xA1, 0x81, 2, 7, 2, {}, EINVAL, 1},
    FailureCase{"NotAnExtensionUnit", 0xA1, 0x81, 3, 1, 1, fails(UVCIOC_CTRL_QUERY, ENOENT), ENOENT, 1}),
    [](const auto& p) { return std::string(p.param.name); });
// clang-format on

// The factory skips the metadata node and closes what it opened once the control is gone.
TEST_F(Uvc, TheFactorySkipsTheMetadataNodeOfTheCameraAtTheLocation) {
  kernel->controls[V4L2_CID_BRIGHTNESS] = 150;
  {
    UVCCameraControl control(kCamera, factory);
    ASSERT_TRUE(control.hasInterface());
    EXPECT_THAT(kernel->state().opened, ElementsAre("/dev/video2", "/dev/video3"));
    EXPECT_THAT(kernel->state().closed, ElementsAre("/dev/video2"));
    EXPECT_EQ(control.getBrightness(), 150);
  }
  EXPECT_THAT(kernel->state().closed, ElementsAre("/dev/video2", "/dev/video3"));
  EXPECT_TRUE(log.empty());
}

// The camera at the location cannot be controlled: what was opened, closed and logged.
TEST_F(Uvc, TheFactorysFailuresCloseWhatWasOpenedAndLogTheReason) {
  struct Case {
    const char* name;
    std::uint32_t location;
    std::function<void(FakeV4l2Kernel&)> arrange;
    Lines opened;
    Lines closed;
    Lines log;
  };
  const std::string v2 = "/dev/video2", v3 = "/dev/video3";
  // clang-format off
  const Case cases[] = {
      {"NoCameraThere", 0x02100000, {}, {}, {}, {}},
      {"OnlyMetadataNodes", kCamera, [](auto& k) { k.addNode("/dev/video3", k.nodeWith(V4L2_CAP_META_CAPTURE)); },
       {v2, v3}, {v2, v3}, {}},
      {"CannotOpen", kCamera, [](auto& k) { k.addNode("/dev/video2", k.nodeWith(V4L2_CAP_VIDEO_CAPTURE, EACCES)); },
       {v2}, {}, {"CameraControl Error: Unable to create a plug-in (0000000d)\n"}},
      {"RefusesCapabilities", kCamera, [](auto& k) { k.failures[VIDIOC_QUERYCAP] = ENOTTY; },
       {v2}, {v2}, {"CameraControl Error: Couldn\u2019t create a device interface for the interface (00000019)"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto fresh = camerasKernel();
    if (c.arrange) c.arrange(*fresh);
    log.clear();
    V4l2UvcTransportFactory lookup(&cameras, fresh);
    lookup.setLog(sink());
    EXPECT_EQ(lookup.openByLocation(c.location), nullptr) << c.name;
    EXPECT_EQ(fresh->state().opened, c.opened) << c.name;
    EXPECT_EQ(fresh->state().closed, c.closed) << c.name;
    EXPECT_EQ(log, c.log) << c.name;
  }
}

// The watch subscribes on the camera's capture node and reports what another handle changes;
// events it does not know are passed over, and the node's going ends it.
TEST_F(Uvc, TheWatchReportsChangesFromOtherHandlesUntilTheNodeGoes) {
  test::ensureCoreApplication();
  for (const auto id : {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION,
                        V4L2_CID_SHARPNESS, V4L2_CID_HUE})
    kernel->controls[id] = 128;
  std::vector<std::pair<std::int32_t, std::int64_t>> changes;  // selector, value
  auto watch = factory.watchByLocation(kCamera, [&](const UVCControlInfo& c, std::int64_t v) {
    changes.emplace_back(c.selector, v);
  });
  ASSERT_NE(watch, nullptr);
  EXPECT_THAT(kernel->state().subscribed, ElementsAre(V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST,
                                                      V4L2_CID_SATURATION, V4L2_CID_SHARPNESS));
  UVCCameraControl other(kCamera, factory);
  other.setBrightness(150);
  other.setSharpness(128);  // unchanged: no event
  v4l2_event notAControl = FakeV4l2Kernel::controlEvent(V4L2_CID_CONTRAST, 90);
  notAControl.type = V4L2_EVENT_SOURCE_CHANGE;
  v4l2_event onlyFlags = FakeV4l2Kernel::controlEvent(V4L2_CID_CONTRAST, 91);
  onlyFlags.u.ctrl.changes = V4L2_EVENT_CTRL_CH_FLAGS;
  for (const v4l2_event& e : {FakeV4l2Kernel::controlEvent(V4L2_CID_HUE, 5), notAControl, onlyFlags,
                              FakeV4l2Kernel::controlEvent(V4L2_CID_SATURATION, 100)})
    kernel->pushEvent(e);
  ASSERT_TRUE(test::waitUntil([&] { return changes.size() >= 2; }));
  test::pumpEvents();
  EXPECT_THAT(changes, ElementsAre(std::pair(kUvcBrightness.selector, std::int64_t{150}),
                                   std::pair(kUvcSaturation.selector, std::int64_t{100})));
  EXPECT_TRUE(log.empty());

  kernel->unplug();
  ASSERT_TRUE(test::waitUntil([&] { return !watch->isWatching(); }));
  EXPECT_THAT(log, ElementsAre("CameraControl Error: Control watch ended (00000013)"));
  const std::size_t closed = kernel->state().closed.size();
  watch.reset();
  EXPECT_EQ(kernel->state().closed.size(), closed + 1);
}

TEST_F(Uvc, TheWatchUnsubscribesAndClosesWhenDestroyedOrRefused) {
  test::ensureCoreApplication();
  for (const auto id : {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION})
    kernel->controls[id] = 128;
  EXPECT_EQ(factory.watchByLocation(kCamera, {}), nullptr);  // no sharpness to subscribe to
  EXPECT_THAT(log, ElementsAre("CameraControl Error: Unable to watch control 9963803 (00000016)"));
  kernel->controls[V4L2_CID_SHARPNESS] = 128;
  factory.watchByLocation(kCamera, {}).reset();
  EXPECT_TRUE(kernel->state().subscribed.empty());
  EXPECT_EQ(kernel->state().openDescriptors, 0u);
}

}  // namespace
}  // namespace vexhal
