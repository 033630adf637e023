#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "Inbox.h"
#include "video/CaptureBackend.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"
#include "video/QRTCCamera.h"
#include "video/SerialOperationQueue.h"

namespace vexhal::video {
namespace {

using testing::Inbox;

constexpr std::uint32_t kOther = kFourccYuyv;

// A capture backend the test configures: the formats it offers and a start it refuses; the
// test sends samples on its own thread.
class FakeCaptureBackend final : public CaptureBackend {
 public:
  struct Start {
    CaptureDevice device;
    CaptureFormat format;
    double fps = 0;
  };

  std::vector<CaptureFormat> offered;
  std::optional<CaptureError> startError;
  std::vector<Start> starts;
  int stops = 0;

  std::vector<CaptureDevice> devices() override { return {}; }
  std::vector<CaptureFormat> formats(const CaptureDevice& /*device*/) override { return offered; }
  std::uint32_t preferredOutputPixelFormat() const override { return kFourccMjpeg; }
  void start(const CaptureDevice& device, const CaptureFormat& format, double fps, CaptureSink sink,
             CaptureCompletion completion) override {
    starts.push_back({device, format, fps});
    sink_ = std::move(sink);
    if (completion) completion(startError);
  }
  void stop(CaptureCompletion completion) override {
    ++stops;
    sink_ = {};
    if (completion) completion(std::nullopt);
  }
  void send(VideoSample sample) { sink_.sample(std::move(sample)); }

 private:
  CaptureSink sink_;
};

CaptureFormat format(int width, int height, std::uint32_t pixelFormat,
                     std::vector<FrameRateRange> ranges = {}) {
  return {width, height, pixelFormat, std::move(ranges)};
}

FrameRateRange fixed(double rate) { return {rate, rate}; }

VideoSample sample(std::int32_t width, std::int32_t height, std::uint32_t pixelFormat,
                   std::size_t bytes) {
  return {std::make_shared<const std::vector<std::uint8_t>>(bytes, 0x80), pixelFormat, width,
          height};
}

class RecordingDelegate final : public QCameraVideoCapturerDelegate {
 public:
  void didOutputFrameWithRemoteFrame(std::shared_ptr<const VideoFrame> /*remoteFrame*/,
                                     std::shared_ptr<const VideoFrame> localFrame) override {
    frames.push(std::move(localFrame));
  }

  Inbox<std::shared_ptr<const VideoFrame>> frames;
};

class CapturerTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeCaptureBackend> backend_ = std::make_shared<FakeCaptureBackend>();
  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<QCameraVideoCapturer> capturer_ =
      QCameraVideoCapturer::create(delegate_, false, backend_);
  CaptureDevice device_{"0x3142000b206b215", "Camera", "b206:b215", "/dev/video0"};
};

// The closest size wins; on a tie MJPEG does, the last one offered, and otherwise the first.
TEST_F(CapturerTest, PicksTheClosestSizePreferringMjpegOnATie) {
  const CaptureFormat mjpeg = format(1920, 1080, kFourccMjpeg);
  const CaptureFormat mjpeg30 = format(1920, 1080, kFourccMjpeg, {fixed(30)});
  const CaptureFormat other = format(1920, 1080, kOther);
  const std::pair<std::vector<CaptureFormat>, std::optional<CaptureFormat>> rows[] = {
      {{format(1280, 720, kOther), other, mjpeg}, mjpeg},
      {{mjpeg, other}, mjpeg},
      {{other, format(1920, 1080, kFourccNv12)}, other},
      {{mjpeg, mjpeg30}, mjpeg30},
      {{}, std::nullopt}};
  for (const auto& [offered, expected] : rows) {
    backend_->offered = offered;
    EXPECT_EQ(capturer_->selectFormat(device_), expected) << offered.size();
  }
}

TEST_F(CapturerTest, PicksTheRateClosestToThirty) {
  const std::pair<std::vector<FrameRateRange>, double> rows[] = {
      {{{1, 60}}, 30.0003}, {{fixed(30), {5, 15}}, 15},   {{{1, 20}}, 20},
      {{{31, 60}}, 31},     {{fixed(29), fixed(31)}, 31},  // the target sits a little above 30
      {{}, 30.0003}};
  for (const auto& [ranges, expected] : rows) {
    EXPECT_DOUBLE_EQ(capturer_->selectFPS(format(1920, 1080, kFourccMjpeg, ranges)), expected)
        << ranges.size();
  }
}

TEST_F(CapturerTest, StartUsesTheSelectedFormatAndRateAndARefusalEndsCapturing) {
  backend_->offered = {format(1280, 720, kFourccMjpeg, {fixed(30)}),
                       format(1920, 1080, kFourccMjpeg, {fixed(25), fixed(30)})};
  backend_->startError = CaptureError{"busy", EBUSY};
  std::optional<CaptureError> reported;
  capturer_->startCapture(device_,
                          [&reported](const std::optional<CaptureError>& e) { reported = e; });

  ASSERT_EQ(backend_->starts.size(), 1U);
  EXPECT_EQ(backend_->starts[0].format, backend_->offered[1]);
  EXPECT_DOUBLE_EQ(backend_->starts[0].fps, 30);
  ASSERT_TRUE(reported.has_value());
  EXPECT_EQ(reported->code, EBUSY);
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_EQ(capturer_->format(), backend_->offered[1]);

  bool stopped = false;
  capturer_->stopCapture([&stopped](const std::optional<CaptureError>& e) { stopped = !e; });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(backend_->stops, 1);

  // Without a device nothing happens; without formats the start fails before the backend.
  capturer_->startCapture(std::nullopt, [](const auto&) { ADD_FAILURE(); });
  backend_->offered.clear();
  reported.reset();
  capturer_->startCapture(device_, [&reported](const auto& e) { reported = e; });
  EXPECT_TRUE(reported.has_value());
  EXPECT_EQ(backend_->starts.size(), 1U);
}

// Samples without a size, a pixel format or bytes are skipped.
TEST_F(CapturerTest, GoodSamplesReachTheDelegateUncopiedAndBadOnesAreSkipped) {
  backend_->offered = {format(1920, 1080, kFourccMjpeg)};
  capturer_->startCapture(device_);
  backend_->send(sample(0, 1080, kFourccMjpeg, 10));
  backend_->send(sample(1920, 1080, 0, 10));
  backend_->send(sample(1920, 1080, kFourccMjpeg, 0));
  const VideoSample sent = sample(1920, 1080, kFourccMjpeg, 1000);
  backend_->send(sent);
  ASSERT_TRUE(delegate_->frames.waitFor(1));
  EXPECT_EQ(delegate_->frames.items().front()->buffer().payload, sent.payload);
}

// Samples wait while the output is busy; one more than the bound may wait, and the next drops
// them all, so a slow output never piles up frames.
TEST(QRTCCameraTest, DropsEveryWaitingSampleOnlyPastTheBound) {
  const auto bound = static_cast<std::int64_t>(QRTCCamera::MaxOpCount);
  Inbox<std::int64_t> seen;
  std::promise<void> open;
  {
    QRTCCamera camera(std::make_shared<FakeCaptureBackend>());
    camera.setOutputBlock([&seen, gate = open.get_future().share()](const VideoSample& s) {
      seen.push(s.timestampNs);
      gate.wait();  // holds the queue, so exactly the samples sent next wait
    });
    VideoSample numbered;
    camera.captureOutput(numbered);
    EXPECT_TRUE(seen.waitFor(1));
    for (numbered.timestampNs = 1; numbered.timestampNs <= bound + 1; ++numbered.timestampNs)
      camera.captureOutput(numbered);
    EXPECT_EQ(camera.waitingSamples(), QRTCCamera::MaxOpCount + 1);
    camera.captureOutput(numbered);
    EXPECT_EQ(camera.waitingSamples(), 1U);
    open.set_value();
    EXPECT_TRUE(seen.waitFor(2));
  }
  EXPECT_EQ(seen.items(), (std::vector<std::int64_t>{0, bound + 2}));
}

TEST(QRTCCameraTest, StopsTheCaptureItStartedWhenDestroyed) {
  auto backend = std::make_shared<FakeCaptureBackend>();
  {
    QRTCCamera camera(backend);
    camera.startCapture({}, {}, 30, {});
  }
  { QRTCCamera idle(backend); }
  EXPECT_EQ(backend->stops, 1);
}

// Tasks run in order one at a time (the order is the camera test's); a task may destroy its
// own queue.
TEST(SerialOperationQueueTest, RunsOneTaskAtATimeAndMayBeDestroyedFromItsOwnTask) {
  Inbox<bool> overlapped;
  std::atomic<int> running = 0;
  auto* queue = new SerialOperationQueue("self-ending");
  for (int i = 0; i < 50; ++i) {
    queue->add([&] {
      overlapped.push(++running > 1);
      --running;
    });
  }
  queue->add([&] {
    delete queue;
    overlapped.push(false);
  });
  ASSERT_TRUE(overlapped.waitFor(51));
  EXPECT_EQ(overlapped.items(), std::vector<bool>(51, false));
}

}  // namespace
}  // namespace vexhal::video
