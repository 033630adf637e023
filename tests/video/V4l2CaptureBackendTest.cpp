#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeV4l2Kernel.h"
#include "Inbox.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"
#include "video/linux/V4l2CaptureBackend.h"

namespace vexhal::video {
namespace {

using ::testing::ElementsAre;
using testing::Inbox;
using vexhal::testing::FakeV4l2Kernel;

// What the capture thread reports: samples and the start's outcome.
struct Collector {
  CaptureSink sink() {
    return {[this](VideoSample sample) { samples.push(std::move(sample)); }, {}};
  }
  CaptureCompletion completion() {
    return [this](const std::optional<CaptureError>& error) { starts.push(error); };
  }
  // The start's outcome, once it has come.
  std::optional<CaptureError> startError() {
    EXPECT_TRUE(starts.waitFor(1));
    return starts.size() == 0 ? std::nullopt : starts.items().front();
  }

  Inbox<VideoSample> samples;
  Inbox<std::optional<CaptureError>> starts;
};

FakeV4l2Kernel::Node cameraNode() {
  FakeV4l2Kernel::Node node;
  node.card = "Conference Camera";
  FakeV4l2Kernel::Format mjpeg{
      kFourccMjpeg,
      {{1920, 1080, {{1, 30}, {1, 15}}, {}}, {1280, 720, {{1, 60}, {1001, 30000}}, {}}},
      {}};
  FakeV4l2Kernel::Format h264{makeFourcc('H', '2', '6', '4'), {{1920, 1080, {{1, 30}}, {}}}, {}};
  FakeV4l2Kernel::Format yuyv{
      kFourccYuyv, {{640, 480, {}, v4l2_frmival_stepwise{{1, 30}, {1, 5}, {1, 1}}}}, {}};
  node.formats = {mjpeg, h264, yuyv};
  return node;
}

// The camera at bus 3, port path 1.4.2, with these video nodes.
UdevCamera usbCamera(std::vector<UdevCamera::VideoNode> nodes) {
  return {"/sys/usb3/3-1.4.2",
          UsbSysfsIdentity{0xb206, 0xb215, 0x03142000, 3, "1.4.2", ""},
          {},
          std::move(nodes)};
}

class V4l2CaptureBackendTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_->addNode("/dev/video0", cameraNode()); }

  std::shared_ptr<FakeV4l2Kernel> fake_ = std::make_shared<FakeV4l2Kernel>();
  std::vector<UdevCamera> cameras_{usbCamera({{"/dev/video0", "Conference Camera: Video", true}})};
  V4l2CaptureBackend backend_{fake_, [this] { return cameras_; }};
  CaptureDevice device_{"0x3142000b206b215", "Conference Camera: Video", "b206:b215",
                        "/dev/video0"};
};

TEST_F(V4l2CaptureBackendTest, ListsCaptureNodesWithTheirCameraIdentity) {
  FakeV4l2Kernel::Node metadata;
  metadata.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  fake_->addNode("/dev/video1", metadata);
  fake_->addNode("/dev/video2", FakeV4l2Kernel::Node{});
  // A metadata node udev marks, one it does not, one that vanished between listing and opening.
  cameras_[0].videoNodes.push_back({"/dev/video1", "Metadata", true});
  cameras_[0].videoNodes.push_back({"/dev/video0", "Marked", false});
  cameras_[0].videoNodes.push_back({"/dev/video9", "Gone", true});
  cameras_.push_back({"", std::nullopt, {}, {{"/dev/video2", "", true}}});

  EXPECT_THAT(backend_.devices(),
              ElementsAre(device_, CaptureDevice{"/dev/video2", "Fake Camera", "", "/dev/video2"}));
  EXPECT_EQ(fake_->state().openDescriptors, 0U);
  // A port path a location id cannot express keeps the node path as id.
  UdevCamera other{"/sys/usb2", UsbSysfsIdentity{1, 2, 0, 2, "1.2.3.4.5.6.7", ""}, {}, {}};
  EXPECT_EQ(captureDeviceFor(other, {"/dev/video4", "", true}, "Card name"),
            (CaptureDevice{"/dev/video4", "Card name", "0001:0002", "/dev/video4"}));
}

TEST_F(V4l2CaptureBackendTest, EnumeratesShownFormatsSizesAndRates) {
  // H.264 is not offered: the preview cannot show it.
  const double ntsc = 30000.0 / 1001;
  EXPECT_THAT(backend_.formats(device_),
              ElementsAre(CaptureFormat{1920, 1080, kFourccMjpeg, {{30, 30}, {15, 15}}},
                          CaptureFormat{1280, 720, kFourccMjpeg, {{60, 60}, {ntsc, ntsc}}},
                          CaptureFormat{640, 480, kFourccYuyv, {{5, 30}}}));
  EXPECT_EQ(fake_->state().openDescriptors, 0U);

  // Stepwise sizes offer the ends and the common sizes on the grid.
  FakeV4l2Kernel::Node node;
  node.formats.push_back({kFourccNv12, {}, v4l2_frmsize_stepwise{320, 1920, 16, 240, 1080, 8}});
  fake_->addNode("/dev/video3", node);
  const auto nv12 = [](int width, int height) {
    return CaptureFormat{width, height, kFourccNv12, {}};
  };
  EXPECT_THAT(backend_.formats({"id", "n", "m", "/dev/video3"}),
              ElementsAre(nv12(1920, 1080), nv12(1280, 720), nv12(640, 480), nv12(320, 240)));
}

TEST_F(V4l2CaptureBackendTest, StreamsCopiesSoHeldSamplesPinNoDriverBuffer) {
  Collector collector;
  backend_.start(device_, {1920, 1080, kFourccMjpeg, {}}, 30.0003, collector.sink(),
                 collector.completion());
  EXPECT_FALSE(collector.startError().has_value());
  const auto state = fake_->state();
  ASSERT_TRUE(state.format && state.interval);
  EXPECT_EQ(std::tie(state.format->pixelformat, state.format->width),
            std::tuple(kFourccMjpeg, 1920U));
  EXPECT_EQ(std::tie(state.interval->numerator, state.interval->denominator),
            std::tuple(1000U, 30000U));

  // Ten frames through four driver buffers while the test keeps every sample.
  constexpr std::size_t kFrames = 10;
  for (std::size_t i = 0; i < kFrames; ++i)
    fake_->pushFrame(std::vector<std::uint8_t>(100 + i, static_cast<std::uint8_t>(i)));
  ASSERT_TRUE(collector.samples.waitFor(kFrames));
  backend_.stop({});

  for (std::size_t i = 0; i < kFrames; ++i) {
    const VideoSample s = collector.samples.items()[i];
    EXPECT_EQ(std::vector(s.bytes().begin(), s.bytes().end()),
              std::vector<std::uint8_t>(100 + i, static_cast<std::uint8_t>(i)));
    EXPECT_EQ(std::tie(s.pixelFormat, s.width, s.timestampNs),
              std::tuple(kFourccMjpeg, 1920, static_cast<std::int64_t>(i) * 1'000'000'000));
  }
  EXPECT_EQ(fake_->state().streamOffs, 1);
  EXPECT_EQ(fake_->state().mappedBuffers, 0);
  EXPECT_EQ(fake_->state().openDescriptors, 0U);
}

TEST_F(V4l2CaptureBackendTest, StartingAgainReplacesTheRunningCaptureWithTheSizeTheDriverChose) {
  Collector first;
  Collector second;
  backend_.start(device_, {1920, 1080, kFourccMjpeg, {}}, 30, first.sink(), first.completion());
  ASSERT_FALSE(first.startError());
  auto node = cameraNode();
  node.forcedSize = std::pair(320U, 240U);
  fake_->addNode("/dev/video0", node);
  backend_.start(device_, {640, 480, kFourccYuyv, {}}, 0, second.sink(), second.completion());
  ASSERT_FALSE(second.startError());
  fake_->pushFrame({9, 9});
  ASSERT_TRUE(second.samples.waitFor(1));
  backend_.stop({});
  EXPECT_TRUE(first.samples.items().empty());
  const VideoSample s = second.samples.items()[0];
  EXPECT_EQ(std::tie(s.pixelFormat, s.width, s.height), std::tuple(kFourccYuyv, 320, 240));
  EXPECT_EQ(fake_->state().streamOns, 2);
  EXPECT_EQ(fake_->state().streamOffs, 2);
}

TEST_F(V4l2CaptureBackendTest, StartFailuresAreReportedThroughTheCompletion) {
  FakeV4l2Kernel::Node output;
  output.deviceCaps = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
  fake_->addNode("/dev/video7", output);
  for (const char* path : {"/dev/video8", "/dev/video7"}) {
    Collector collector;
    backend_.start({"id", "n", "m", path}, {1920, 1080, kFourccMjpeg, {}}, 30, collector.sink(),
                   collector.completion());
    ASSERT_TRUE(collector.startError().has_value()) << path;
    EXPECT_THAT(collector.startError()->message, ::testing::HasSubstr(path));
  }
  backend_.stop({});
  EXPECT_EQ(fake_->state().openDescriptors, 0U);
}

// An unplug ends the capture with ENODEV and frees the device, also when the screen lets go of
// its capturer just as the capture thread reports it: the capturer must still be destroyed by
// its owner, not by that thread (which would join itself).
TEST_F(V4l2CaptureBackendTest, AnUnplugEndsCaptureEvenWhenTheCapturerIsDroppedDuringTheReport) {
  struct Delegate final : QCameraVideoCapturerDelegate {
    void didStopWithError(const CaptureError& error) override {
      codes.push(error.code);
      // The report lasts until the owner has let go, if this thread holds a reference too.
      for (int i = 0; i < 5000 && capturer.use_count() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::weak_ptr<QCameraVideoCapturer> capturer;
    Inbox<int> codes;
  };
  auto delegate = std::make_shared<Delegate>();
  auto capturer = QCameraVideoCapturer::create(
      delegate, false, std::shared_ptr<CaptureBackend>(std::shared_ptr<void>(), &backend_));
  delegate->capturer = capturer;
  Collector collector;
  capturer->startCapture(device_, collector.completion());
  ASSERT_FALSE(collector.startError().has_value());
  fake_->unplug();
  ASSERT_TRUE(delegate->codes.waitFor(1));
  EXPECT_EQ(delegate->codes.items().front(), ENODEV);
  capturer.reset();
  EXPECT_EQ(fake_->state().mappedBuffers, 0);
  EXPECT_EQ(fake_->state().openDescriptors, 0U);
}

}  // namespace
}  // namespace vexhal::video
