#include "device/uvc/linux/V4l2UvcTransportFactory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "FakeV4l2Kernel.h"
#include "UvcLogCapture.h"
#include "device/uvc/UVCCameraControl.h"

namespace vexhal {
namespace {

using ::testing::ElementsAre;
using testing::FakeV4l2Kernel;
using ::testing::IsEmpty;
using testing::UvcLogCapture;

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
    EXPECT_EQ(V4l2UvcTransportFactory(&twoCameras, fresh).openByLocation(c.location), nullptr)
        << c.name;
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
