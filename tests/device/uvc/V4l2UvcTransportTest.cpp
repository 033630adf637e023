// The V4L2 transport over a fake kernel: UVC request records as V4L2 control calls, and the
// factory that finds a camera's capture node for it.
#include "device/uvc/linux/V4l2UvcTransport.h"
#include "device/uvc/linux/V4l2UvcTransportFactory.h"

#include <fcntl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "FakeV4l2Kernel.h"
#include "UvcLogCapture.h"
#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/UVCControlInfo.h"

namespace vexhal {
namespace {

using ::testing::ElementsAre;
using testing::FakeV4l2Kernel;
using ::testing::IsEmpty;
using testing::UvcLogCapture;
using Bytes = std::vector<std::uint8_t>;

struct Named {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& p) const {
    return p.param.name;
  }
};

UVCControlRequest record(std::uint8_t type, std::uint8_t code, int unit, int selector,
                         Bytes& bytes) {
  UVCControlRequest r;
  r.bmRequestType = type;
  r.bRequest = code;
  r.wValue = static_cast<std::uint16_t>(selector << 8);
  r.wIndex = static_cast<std::uint16_t>(unit << 8);
  r.wLength = static_cast<std::uint16_t>(bytes.size());
  r.pData = bytes.data();
  return r;
}

std::shared_ptr<FakeV4l2Kernel> kernelWithNode() {
  auto kernel = std::make_shared<FakeV4l2Kernel>();
  kernel->addNode("/dev/video0", {});
  return kernel;
}

class V4l2UvcTransportTest : public ::testing::Test {
 protected:
  // The ioctl requests the transport made.
  std::vector<unsigned long> calls() const { return kernel->state().calls; }

  std::shared_ptr<FakeV4l2Kernel> kernel = kernelWithNode();
  V4l2UvcTransport transport{kernel->open("/dev/video0", O_RDWR), kernel};
};

// Both directions of a standard control: a negative value and the exposure-mode bitmap
// bits the program never sets. Which driver control each program control
// reaches is UVCCameraControlTest's table.
struct StandardCase {
  const char* name;
  int unit;
  int selector;
  std::uint32_t id;
  Bytes bytes;
  std::int32_t v4l2Value;
};

class StandardControl : public V4l2UvcTransportTest,
                        public ::testing::WithParamInterface<StandardCase> {};

TEST_P(StandardControl, SetCurIsSetControlAndGetCurIsGetControl) {
  const StandardCase& c = GetParam();
  kernel->controls[c.id].value = 12345;
  Bytes bytes = c.bytes;
  UVCControlRequest set = record(0x21, 0x01, c.unit, c.selector, bytes);
  EXPECT_EQ(transport.controlRequest(set), 0);
  EXPECT_EQ(kernel->controls[c.id].value, c.v4l2Value);
  EXPECT_EQ(set.wLenDone, c.bytes.size());

  bytes.assign(c.bytes.size(), 0);
  UVCControlRequest get = record(0xA1, 0x81, c.unit, c.selector, bytes);
  EXPECT_EQ(transport.controlRequest(get), 0);
  EXPECT_EQ(bytes, c.bytes);
  EXPECT_EQ(get.wLenDone, c.bytes.size());
  EXPECT_THAT(calls(), ElementsAre(VIDIOC_S_CTRL, VIDIOC_G_CTRL));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Controls, StandardControl, ::testing::Values(
    StandardCase{"BrightnessNegative", 2, 2, V4L2_CID_BRIGHTNESS, {0xF6, 0xFF}, -10},
    StandardCase{"ExposureShutter", 1, 2, V4L2_CID_EXPOSURE_AUTO, {0x04},
                 V4L2_EXPOSURE_SHUTTER_PRIORITY},
    StandardCase{"ExposureAperture", 1, 2, V4L2_CID_EXPOSURE_AUTO, {0x08},
                 V4L2_EXPOSURE_APERTURE_PRIORITY}),
    Named());
// clang-format on

// Limits, step, default, length and capabilities of a control.
struct QueryCase {
  const char* name;
  std::uint8_t code;
  int unit;
  int selector;
  std::uint32_t flags;
  Bytes expected;
  bool asksDriver;
};

class StandardQuery : public V4l2UvcTransportTest,
                      public ::testing::WithParamInterface<QueryCase> {};

TEST_P(StandardQuery, AnswersFromTheControlQuery) {
  const QueryCase& c = GetParam();
  kernel->controls[V4L2_CID_BRIGHTNESS] = {0, -64, 64, 2, 5, c.flags};
  kernel->controls[V4L2_CID_EXPOSURE_AUTO] = {0, 0, 3, 1, V4L2_EXPOSURE_APERTURE_PRIORITY, 0};
  Bytes bytes(c.expected.size(), 0xEE);
  UVCControlRequest r = record(0xA1, c.code, c.unit, c.selector, bytes);
  EXPECT_EQ(transport.controlRequest(r), 0);
  EXPECT_EQ(bytes, c.expected);
  EXPECT_EQ(calls().size(), c.asksDriver ? 1u : 0u);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, StandardQuery, ::testing::Values(
    QueryCase{"Minimum", 0x82, 2, 2, 0, {0xC0, 0xFF}, true},
    QueryCase{"Maximum", 0x83, 2, 2, 0, {0x40, 0x00}, true},
    QueryCase{"Resolution", 0x84, 2, 2, 0, {0x02, 0x00}, true},
    QueryCase{"Default", 0x87, 2, 2, 0, {0x05, 0x00}, true},
    QueryCase{"ExposureModeDefaultIsABit", 0x87, 1, 2, 0, {0x08}, true},
    QueryCase{"Length", 0x85, 2, 2, 0, {0x02, 0x00}, false},
    QueryCase{"LengthOfExposureTime", 0x85, 1, 4, 0, {0x04, 0x00}, false},
    QueryCase{"InfoGetAndSet", 0x86, 2, 2, 0, {0x03}, true},
    QueryCase{"InfoReadOnly", 0x86, 2, 2, V4L2_CTRL_FLAG_READ_ONLY, {0x01}, true},
    QueryCase{"InfoInactive", 0x86, 2, 2, V4L2_CTRL_FLAG_INACTIVE, {0x07}, true}),
    Named());
// clang-format on

// Extension units go to the driver's query unchanged, in both directions.
TEST_F(V4l2UvcTransportTest, ExtensionUnitRequestsAreQueriesOnTheRecordsBytes) {
  kernel->queryAnswer = {90};
  Bytes bytes(1, 0);
  UVCControlRequest get = record(0xA1, 0x81, kUvcExtensionUnit, 2, bytes);
  EXPECT_EQ(transport.controlRequest(get), 0);
  EXPECT_THAT(calls(), ElementsAre(UVCIOC_CTRL_QUERY));
  const uvc_xu_control_query& q = kernel->lastQuery;
  EXPECT_EQ(std::tie(q.unit, q.selector, q.query, q.size), std::make_tuple(6, 2, 0x81, 1));
  EXPECT_EQ(q.data, bytes.data());
  EXPECT_EQ(bytes[0], 90);
  EXPECT_EQ(get.wLenDone, 1u);

  Bytes sent{0x01, 0x02, 0x03};
  UVCControlRequest set = record(0x21, 0x01, 9, 3, sent);
  EXPECT_EQ(transport.controlRequest(set), 0);
  EXPECT_EQ(std::tie(q.unit, q.selector, q.query), std::make_tuple(9, 3, 0x01));
  EXPECT_THAT(kernel->querySent, ElementsAre(0x01, 0x02, 0x03));
}

// Records the driver cannot carry, and the driver's own failures: the reason, and nothing moved.
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

class Failure : public V4l2UvcTransportTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failure, ReportsTheReasonAndMovesNothing) {
  const FailureCase& c = GetParam();
  kernel->controls[V4L2_CID_BRIGHTNESS] = {};
  kernel->controls[V4L2_CID_EXPOSURE_AUTO] = {};
  Bytes bytes(c.length, 0);
  UVCControlRequest r = record(c.type, c.code, c.unit, c.selector, bytes);
  if (c.arrange) c.arrange(r, *kernel);
  const Bytes before = bytes;
  EXPECT_EQ(transport.controlRequest(r), c.status);
  EXPECT_EQ(r.wLenDone, 0u);
  EXPECT_EQ(calls().size(), c.driverCalls);
  EXPECT_EQ(bytes, before);
}

Arrange fails(unsigned long request, int error) {
  return [=](UVCControlRequest&, FakeV4l2Kernel& k) { k.failures[request] = error; };
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Failure, ::testing::Values(
    FailureCase{"UnknownProcessingUnitSelector", 0xA1, 0x81, 2, 0x12, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"UnknownCameraTerminalSelector", 0x21, 0x01, 1, 0x0B, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"SetWithDeviceToHostType", 0xA1, 0x01, 2, 2, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"GetWithHostToDeviceType", 0x21, 0x81, 2, 2, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"StandardRequestType", 0x80, 0x06, 2, 2, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"UnknownRequestCode", 0xA1, 0x90, 2, 2, 2, {}, EOPNOTSUPP, 0},
    FailureCase{"OtherInterface", 0xA1, 0x81, 2, 2, 2, [](auto& r, auto&) { r.wIndex |= 1; },
                EOPNOTSUPP, 0},
    FailureCase{"LowByteOfValueSet", 0x21, 0x01, 6, 2, 1, [](auto& r, auto&) { r.wValue |= 1; },
                EOPNOTSUPP, 0},
    FailureCase{"LengthOfAnotherControl", 0xA1, 0x81, 2, 2, 4, {}, EINVAL, 0},
    FailureCase{"ZeroLength", 0x21, 0x01, 6, 1, 0, {}, EINVAL, 0},
    FailureCase{"NoValueBytes", 0xA1, 0x81, 6, 1, 1, [](auto& r, auto&) { r.pData = nullptr; },
                EINVAL, 0},
    FailureCase{"ExposureModeWithoutAMeaning", 0x21, 0x01, 1, 2, 1,
                [](auto& r, auto&) { r.pData[0] = 3; }, ERANGE, 0},
    FailureCase{"ExposureTimeBeyondV4l2", 0x21, 0x01, 1, 4, 4,
                [](auto& r, auto&) { r.pData[3] = 0x80; }, ERANGE, 0},
    FailureCase{"DriverReportsUnknownExposureMode", 0xA1, 0x81, 1, 2, 1,
                [](auto&, auto& k) { k.controls[V4L2_CID_EXPOSURE_AUTO].value = 9; }, ERANGE, 1},
    FailureCase{"ExposureModeHasNoMinimum", 0xA1, 0x82, 1, 2, 1, {}, EOPNOTSUPP, 1},
    FailureCase{"DisabledControl", 0xA1, 0x83, 2, 2, 2,
                [](auto&, auto& k) { k.controls[V4L2_CID_BRIGHTNESS].flags = V4L2_CTRL_FLAG_DISABLED; },
                EOPNOTSUPP, 1},
    FailureCase{"DriverRefusesSet", 0x21, 0x01, 2, 2, 2, fails(VIDIOC_S_CTRL, EIO), EIO, 1},
    FailureCase{"DriverRefusesGet", 0xA1, 0x81, 2, 2, 2, fails(VIDIOC_G_CTRL, ENODEV), ENODEV, 1},
    FailureCase{"ControlMissingInDriver", 0xA1, 0x81, 2, 7, 2, {}, EINVAL, 1},
    FailureCase{"DriverRefusesQuery", 0xA1, 0x87, 2, 2, 2, fails(VIDIOC_QUERYCTRL, EACCES), EACCES, 1},
    FailureCase{"NotAnExtensionUnit", 0xA1, 0x81, 3, 1, 1, fails(UVCIOC_CTRL_QUERY, ENOENT), ENOENT, 1}),
    Named());
// clang-format on

TEST(V4l2UvcTransportLifetime, ClosesItsDescriptorOnce) {
  auto kernel = kernelWithNode();
  { V4l2UvcTransport transport(kernel->open("/dev/video0", O_RDWR), kernel); }
  EXPECT_THAT(kernel->state().closed, ElementsAre("/dev/video0"));
  EXPECT_EQ(kernel->state().openDescriptors, 0u);
}

// The factory: which node of which camera it opens.

constexpr std::uint32_t kCamera = 0x03142000;
constexpr std::uint32_t kOther = 0x01100000;

UdevCamera camera(std::int64_t location, std::uint16_t vendor, std::uint16_t product,
                  std::vector<std::string> nodes) {
  UdevCamera camera{"/sys/usb", UsbSysfsIdentity{vendor, product, location, 3, "1", ""}, {}, {}};
  for (const std::string& node : nodes) camera.videoNodes.push_back({node, "", true});
  return camera;
}

// Two cameras of the same model; each has a capture node and a metadata node, the metadata
// node of the first camera listed before its capture node.
std::vector<UdevCamera> twoCameras() {
  return {camera(kOther, 0xB206, 0xB215, {"/dev/video0", "/dev/video1"}),
          camera(kCamera, 0xB206, 0xB215, {"/dev/video2", "/dev/video3"}),
          camera(0, 0x046d, 0x085b, {"/dev/video4"})};
}

// Their nodes as the kernel has them: the second and third are metadata nodes.
std::shared_ptr<FakeV4l2Kernel> twoCamerasKernel() {
  auto kernel = std::make_shared<FakeV4l2Kernel>();
  const std::uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  const std::uint32_t metadata = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  const std::uint32_t caps[] = {capture, metadata, metadata, capture, V4L2_CAP_VIDEO_CAPTURE};
  for (int i = 0; i < 5; ++i)
    kernel->addNode("/dev/video" + std::to_string(i), FakeV4l2Kernel::nodeWith(caps[i]));
  kernel->controls[V4L2_CID_BRIGHTNESS].value = 150;
  return kernel;
}

class V4l2UvcTransportFactoryTest : public ::testing::Test {
 protected:
  V4l2UvcTransportFactoryTest() { factory.setLog(log.log()); }

  std::shared_ptr<FakeV4l2Kernel> kernel = twoCamerasKernel();
  UvcLogCapture log;
  V4l2UvcTransportFactory factory{&twoCameras, kernel};
};

TEST_F(V4l2UvcTransportFactoryTest, SkipsTheMetadataNodeOfTheCameraAtTheLocation) {
  {
    UVCCameraControl control(kCamera, factory);
    ASSERT_TRUE(control.hasInterface());
    EXPECT_THAT(kernel->state().opened, ElementsAre("/dev/video2", "/dev/video3"));
    EXPECT_THAT(kernel->state().closed, ElementsAre("/dev/video2"));
    EXPECT_EQ(control.getBrightness(), 150);
    EXPECT_TRUE(control.setBrightness(120));
    EXPECT_EQ(kernel->controls[V4L2_CID_BRIGHTNESS].value, 120);
  }
  EXPECT_THAT(kernel->state().closed, ElementsAre("/dev/video2", "/dev/video3"));
  EXPECT_THAT(log.lines, IsEmpty());
}

// The camera at the location cannot be controlled: what was opened, closed and logged.
TEST_F(V4l2UvcTransportFactoryTest, FailuresCloseWhatWasOpenedAndLogTheReason) {
  struct Case {
    const char* name;
    std::uint32_t location;
    std::function<void(FakeV4l2Kernel&)> arrange;
    std::vector<std::string> opened;
    std::vector<std::string> closed;
    std::vector<std::string> log;
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
    auto fresh = twoCamerasKernel();
    if (c.arrange) c.arrange(*fresh);
    log.lines.clear();
    V4l2UvcTransportFactory lookup(&twoCameras, fresh);
    lookup.setLog(log.log());
    EXPECT_EQ(lookup.openByLocation(c.location), nullptr) << c.name;
    EXPECT_EQ(fresh->state().opened, c.opened) << c.name;
    EXPECT_EQ(fresh->state().closed, c.closed) << c.name;
    EXPECT_EQ(log.lines, c.log) << c.name;
  }
}

TEST_F(V4l2UvcTransportFactoryTest, OlderDriversWithoutDeviceCapsUseTheCapabilities) {
  kernel->reportDeviceCaps = false;
  EXPECT_NE(factory.openByLocation(kCamera), nullptr);
  EXPECT_THAT(kernel->state().opened, ElementsAre("/dev/video2", "/dev/video3"));
}

TEST_F(V4l2UvcTransportFactoryTest, LocationOrIdsTakeTheFirstCaptureNodeOfAMatchingCamera) {
  EXPECT_NE(factory.openByLocation(kOther), nullptr);
  EXPECT_NE(factory.openByVendorProduct(0xB206, 0xB215), nullptr);
  EXPECT_THAT(kernel->state().opened, ElementsAre("/dev/video0", "/dev/video0"));
  EXPECT_NE(factory.openByVendorProduct(0x046d, 0x085b), nullptr);
  EXPECT_EQ(factory.openByVendorProduct(0x046d, 0x0000), nullptr);
  EXPECT_THAT(kernel->state().opened, ElementsAre("/dev/video0", "/dev/video0", "/dev/video4"));
}

}  // namespace
}  // namespace vexhal
