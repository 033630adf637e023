#include "device/uvc/linux/V4l2UvcTransportFactory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeV4l2Syscalls.h"
#include "UvcLogCapture.h"
#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/linux/V4l2VideoNodeEnumerator.h"

namespace vexhal {
namespace {

using ::testing::ElementsAre;
using testing::FakeV4l2Syscalls;
using ::testing::IsEmpty;
using testing::UvcLogCapture;

constexpr std::uint32_t kCamera = 0x03142000;
constexpr std::uint32_t kOther = 0x01100000;

// Two cameras of the same model; each has a capture node and a metadata node, the metadata
// node of the first camera listed before its capture node.
std::vector<V4l2VideoNode> twoCameras() {
  return {{"/dev/video0", kOther, 0xB206, 0xB215},
          {"/dev/video1", kOther, 0xB206, 0xB215},
          {"/dev/video2", kCamera, 0xB206, 0xB215},
          {"/dev/video3", kCamera, 0xB206, 0xB215},
          {"/dev/video4", std::nullopt, 0x046d, 0x085b}};
}

class V4l2UvcTransportFactoryTest : public ::testing::Test {
 protected:
  V4l2UvcTransportFactoryTest() {
    for (int i = 0; i < 5; ++i) {
      kernel.nodes["/dev/video" + std::to_string(i)] = 10 + i;
    }
    kernel.deviceCaps = {{10, V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING},
                         {11, V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING},
                         {12, V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING},
                         {13, V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING},
                         {14, V4L2_CAP_VIDEO_CAPTURE}};
    kernel.controls[V4L2_CID_BRIGHTNESS].value = 150;
  }

  FakeV4l2Syscalls kernel;
  UvcLogCapture log;
  V4l2UvcTransportFactory factory{&twoCameras, kernel};
};

TEST_F(V4l2UvcTransportFactoryTest, SkipsTheMetadataNodeOfTheCameraAtTheLocation) {
  {
    UVCCameraControl control(kCamera, factory);
    ASSERT_TRUE(control.hasInterface());
    EXPECT_THAT(kernel.opened, ElementsAre("/dev/video2", "/dev/video3"));
    EXPECT_THAT(kernel.closed, ElementsAre(12));
    EXPECT_EQ(control.getBrightness(), 150);
    EXPECT_TRUE(control.setBrightness(120));
    EXPECT_EQ(kernel.controls[V4L2_CID_BRIGHTNESS].value, 120);
  }
  EXPECT_THAT(kernel.closed, ElementsAre(12, 13));
  EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(V4l2UvcTransportFactoryTest, LocationWithoutACameraOpensNothing) {
  UVCCameraControl control(0x02100000, factory);
  EXPECT_FALSE(control.hasInterface());
  EXPECT_THAT(kernel.opened, IsEmpty());
  EXPECT_FALSE(control.setBrightness(128));
  EXPECT_THAT(log.lines, ElementsAre("CameraControl Error: No interface to send request"));
}

TEST_F(V4l2UvcTransportFactoryTest, CameraWithOnlyMetadataNodesHasNoInterface) {
  kernel.deviceCaps[13] = V4L2_CAP_META_CAPTURE;
  EXPECT_EQ(factory.openByLocation(kCamera), nullptr);
  EXPECT_THAT(kernel.closed, ElementsAre(12, 13));
  EXPECT_THAT(log.lines, IsEmpty());
}

TEST_F(V4l2UvcTransportFactoryTest, OlderDriversWithoutDeviceCapsUseTheCapabilities) {
  kernel.reportDeviceCaps = false;
  EXPECT_NE(factory.openByLocation(kCamera), nullptr);
  EXPECT_THAT(kernel.opened, ElementsAre("/dev/video2", "/dev/video3"));
}

TEST_F(V4l2UvcTransportFactoryTest, NodeThatCannotBeOpenedIsLogged) {
  kernel.nodes["/dev/video2"] = -EACCES;
  EXPECT_EQ(factory.openByLocation(kCamera), nullptr);
  EXPECT_THAT(log.lines,
              ElementsAre("CameraControl Error: Unable to create a plug-in (0000000d)\n"));
}

TEST_F(V4l2UvcTransportFactoryTest, NodeThatRefusesItsCapabilitiesIsLoggedAndClosed) {
  kernel.failures[VIDIOC_QUERYCAP] = ENOTTY;
  EXPECT_EQ(factory.openByLocation(kCamera), nullptr);
  EXPECT_THAT(kernel.closed, ElementsAre(12));
  EXPECT_THAT(log.lines, ElementsAre("CameraControl Error: Couldn\u2019t create a device "
                                     "interface for the interface (00000019)"));
}

TEST_F(V4l2UvcTransportFactoryTest, LocationOrIdsTakeTheFirstCaptureNodeOfAMatchingCamera) {
  EXPECT_NE(factory.openByLocation(kOther), nullptr);
  EXPECT_NE(factory.openByVendorProduct(0xB206, 0xB215), nullptr);
  EXPECT_THAT(kernel.opened, ElementsAre("/dev/video0", "/dev/video0"));
  EXPECT_NE(factory.openByVendorProduct(0x046d, 0x085b), nullptr);
  EXPECT_EQ(factory.openByVendorProduct(0x046d, 0x0000), nullptr);
  EXPECT_THAT(kernel.opened, ElementsAre("/dev/video0", "/dev/video0", "/dev/video4"));
}

}  // namespace
}  // namespace vexhal
