#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <numeric>

#include "FakeCaptureBackend.h"
#include "Inbox.h"
#include "logkit/MemoryLog.h"
#include "video/QCameraVideoCapturer.h"
#include "video/QRTCCamera.h"
#include "video/SerialOperationQueue.h"

namespace vexhal::video {
namespace {

using ostrane::test::LogCapture;
using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::FakeCaptureBackend;
using ::testing::HasSubstr;
using testing::Inbox;

constexpr std::uint32_t kOther = kFourccYuyv;

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
  void didOutputFrameWithRemoteFrame(std::shared_ptr<const VideoFrame> remoteFrame,
                                     std::shared_ptr<const VideoFrame> localFrame) override {
    remoteSeen = remoteSeen || remoteFrame != nullptr;
    frames.push(std::move(localFrame));
  }

  void didStopWithError(const CaptureError& error) override { failures.push(error); }

  Inbox<std::shared_ptr<const VideoFrame>> frames;
  Inbox<CaptureError> failures;
  std::atomic<bool> remoteSeen = false;
};

class CapturerTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeCaptureBackend> backend_ = std::make_shared<FakeCaptureBackend>();
  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
  std::shared_ptr<QCameraVideoCapturer> capturer_ =
      QCameraVideoCapturer::create(delegate_, false, backend_);
  CaptureDevice device_{"0x3142000b206b215", "Camera", "b206:b215", "/dev/video0"};
};

TEST_F(CapturerTest, PicksTheClosestSizePreferringMjpegOnATie) {
  const struct {
    const char* name;
    std::vector<CaptureFormat> offered;
    std::optional<std::size_t> expected;  // index into offered
  } rows[] = {
      {"PreferredLastWins",
       {format(1280, 720, kOther), format(1920, 1080, kOther), format(1920, 1080, kFourccMjpeg)},
       2},
      {"OtherDoesNotDisplacePreferred",
       {format(1920, 1080, kFourccMjpeg), format(1920, 1080, kOther)},
       0},
      {"SmallerDistanceWins", {format(3840, 2160, kOther), format(1280, 720, kOther)}, 1},
      {"TieWithoutPreferredKeepsTheFirst",
       {format(1920, 1080, kOther), format(1920, 1080, kFourccNv12)},
       0},
      {"LaterPreferredReplacesEarlier",
       {format(1920, 1080, kFourccMjpeg, {fixed(15)}),
        format(1920, 1080, kFourccMjpeg, {fixed(30)})},
       1},
      {"EqualDistanceAcrossSizes",
       {format(2560, 1440, kOther), format(1280, 720, kFourccMjpeg)},
       1},
      {"NoFormats", {}, std::nullopt}};
  for (const auto& row : rows) {
    backend_->offered = row.offered;
    const auto chosen = capturer_->selectFormat(device_);
    EXPECT_EQ(chosen, row.expected ? std::optional(row.offered[*row.expected]) : std::nullopt)
        << row.name;
  }
}

TEST_F(CapturerTest, PicksTheRateClosestToThirty) {
  const std::pair<std::vector<FrameRateRange>, double> rows[] = {
      {{{1, 60}}, 30.0003},
      {{fixed(25), fixed(30), fixed(60)}, 30},
      {{fixed(29.97), fixed(30)}, 30},
      {{fixed(15)}, 15},
      {{{5, 15}, fixed(30)}, 30},
      {{fixed(30), {5, 15}}, 15},
      {{{1, 20}}, 20},
      {{{31, 60}}, 31},
      {{fixed(29), fixed(31)}, 31},  // the target sits a little above 30
      {{}, 30.0003}};
  for (const auto& [ranges, expected] : rows) {
    EXPECT_DOUBLE_EQ(capturer_->selectFPS(format(1920, 1080, kFourccMjpeg, ranges)), expected)
        << ranges.size();
  }
}

TEST_F(CapturerTest, StartUsesTheSelectedFormatAndRateAndARefusalEndsCapturing) {
  LogCapture log;
  backend_->offered = {format(1280, 720, kFourccMjpeg, {fixed(30)}),
                       format(1920, 1080, kFourccMjpeg, {fixed(25), fixed(30)})};
  backend_->startError = CaptureError{"busy", EBUSY};
  std::optional<CaptureError> reported;
  capturer_->startCapture(device_,
                          [&reported](const std::optional<CaptureError>& e) { reported = e; });

  EXPECT_EQ(log.count("QCameraVideoCapturer, selectFormat 1920x1080 MJPG"), 1U);
  EXPECT_EQ(log.count("QCameraVideoCapturer, selectFPS 30"), 1U);
  ASSERT_EQ(backend_->starts.size(), 1U);
  EXPECT_EQ(backend_->starts[0].device, device_);
  EXPECT_EQ(backend_->starts[0].format, backend_->offered[1]);
  EXPECT_DOUBLE_EQ(backend_->starts[0].fps, 30);
  ASSERT_TRUE(reported.has_value());
  EXPECT_EQ(reported->code, EBUSY);
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_EQ(capturer_->captureDevice(), device_);
  EXPECT_EQ(capturer_->format(), backend_->offered[1]);

  bool stopped = false;
  capturer_->stopCapture([&stopped](const std::optional<CaptureError>& e) { stopped = !e; });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(backend_->stops, 1);
}

TEST_F(CapturerTest, WithoutDeviceNothingHappensAndWithoutFormatsTheStartFails) {
  bool called = false;
  capturer_->startCapture(std::nullopt, [&called](const auto&) { called = true; });
  EXPECT_FALSE(called);
  EXPECT_FALSE(capturer_->captureDevice().has_value());

  std::optional<CaptureError> reported;
  capturer_->startCapture(device_, [&reported](const auto& e) { reported = e; });
  ASSERT_TRUE(reported.has_value());
  EXPECT_FALSE(reported->message.empty());
  EXPECT_TRUE(backend_->starts.empty());
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_FALSE(capturer_->format().has_value());
}

TEST_F(CapturerTest, GoodSamplesReachTheDelegateUncopiedAndBadOnesAreSkippedWithADebugText) {
  static std::vector<std::string> debugLines;  // written on the work queue before the good frame
  const auto previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        debugLines.push_back(text.toStdString());
      });
  backend_->offered = {format(1920, 1080, kFourccMjpeg)};
  capturer_->startCapture(device_);
  backend_->send(sample(0, 1080, kFourccMjpeg, 10));
  backend_->send(sample(1920, 1080, 0, 10));
  backend_->send(sample(1920, 1080, kFourccMjpeg, 0));
  const VideoSample sent = sample(1920, 1080, kFourccMjpeg, 1000);
  const auto before = std::chrono::steady_clock::now().time_since_epoch();
  backend_->send(sent);
  ASSERT_TRUE(delegate_->frames.waitFor(1));
  const auto after = std::chrono::steady_clock::now().time_since_epoch();
  qInstallMessageHandler(previous);

  const auto frames = delegate_->frames.items();
  ASSERT_EQ(frames.size(), 1U);
  EXPECT_FALSE(delegate_->remoteSeen);
  EXPECT_EQ(frames[0]->rotation(), 0);
  EXPECT_EQ(frames[0]->buffer().payload, sent.payload);
  // Stamped from the monotonic clock when handed on.
  EXPECT_GE(frames[0]->timeStampNs(), std::chrono::nanoseconds(before).count());
  EXPECT_LE(frames[0]->timeStampNs(), std::chrono::nanoseconds(after).count());
  EXPECT_THAT(
      debugLines,
      ElementsAre(AllOf(HasSubstr("QCameraVideoCapturer"), HasSubstr("sampleBuffer is bad")),
                  HasSubstr("sampleBuffer is bad"), HasSubstr("sampleBuffer is not buffer")));
}

TEST(QRTCCameraTest, DropsEveryWaitingSampleOnlyPastTheBound) {
  for (const std::size_t waiting : {QRTCCamera::MaxOpCount, QRTCCamera::MaxOpCount + 1}) {
    const bool drops = waiting > QRTCCamera::MaxOpCount;
    LogCapture log;
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
      for (numbered.timestampNs = 1; numbered.timestampNs <= static_cast<std::int64_t>(waiting);
           ++numbered.timestampNs) {
        camera.captureOutput(numbered);
      }
      EXPECT_EQ(camera.waitingSamples(), waiting);
      camera.captureOutput(numbered);
      EXPECT_EQ(camera.waitingSamples(), drops ? 1U : waiting + 1);
      EXPECT_EQ(log.count("camera>丢帧"), drops ? 1U : 0U);
      open.set_value();
      EXPECT_TRUE(seen.waitFor(drops ? 2 : waiting + 2));
    }
    std::vector<std::int64_t> expected(drops ? 2 : waiting + 2);
    std::iota(expected.begin(), expected.end(), 0);
    if (drops) expected.back() = static_cast<std::int64_t>(waiting) + 1;
    EXPECT_EQ(seen.items(), expected);
  }
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

TEST(SerialOperationQueueTest, RunsTasksInOrderOneAtATimeAndMayBeDestroyedFromItsOwnTask) {
  Inbox<int> order;
  std::atomic<int> running = 0;
  std::atomic<bool> overlapped = false;
  {
    SerialOperationQueue queue("test-queue");
    for (int i = 0; i < 50; ++i) {
      queue.add([&, i] {
        overlapped = overlapped || ++running > 1;
        --running;
        order.push(i);
      });
    }
    ASSERT_TRUE(order.waitFor(50));
  }
  std::vector<int> expected(50);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(order.items(), expected);
  EXPECT_FALSE(overlapped);

  auto* queue = new SerialOperationQueue("self-ending");
  queue->add([&] {
    delete queue;
    order.push(-1);
  });
  EXPECT_TRUE(order.waitFor(51));
}

}  // namespace
}  // namespace vexhal::video
