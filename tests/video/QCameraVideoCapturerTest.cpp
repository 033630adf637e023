#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <atomic>
#include <mutex>

#include "FakeCaptureBackend.h"
#include "Inbox.h"
#include "logkit/MemoryLog.h"
#include "video/QCameraVideoCapturer.h"

namespace vexhal::video {
namespace {

using testing::FakeCaptureBackend;
using testing::Inbox;
using ostrane::test::LogCapture;

constexpr std::uint32_t kOther = kFourccYuyv;

CaptureFormat format(int width, int height, std::uint32_t pixelFormat,
                     std::vector<FrameRateRange> ranges = {}) {
  return {width, height, pixelFormat, std::move(ranges)};
}

FrameRateRange fixed(double rate) { return {rate, rate}; }

std::int64_t steadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

VideoSample sample(std::int32_t width, std::int32_t height, std::uint32_t pixelFormat,
                   std::size_t bytes) {
  VideoSample result;
  result.payload = std::make_shared<const std::vector<std::uint8_t>>(bytes, 0x80);
  result.width = width;
  result.height = height;
  result.pixelFormat = pixelFormat;
  return result;
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

struct FormatCase {
  const char* name;
  std::vector<CaptureFormat> offered;
  std::optional<std::size_t> expected;  // index into offered
};

class FormatSelectionTest : public CapturerTest,
                            public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatSelectionTest, PicksTheClosestSizePreferringMjpegOnATie) {
  backend_->offered = GetParam().offered;
  const auto chosen = capturer_->selectFormat(device_);
  if (!GetParam().expected) {
    EXPECT_FALSE(chosen.has_value());
    return;
  }
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, GetParam().offered[*GetParam().expected]);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatSelectionTest,
    ::testing::Values(
        FormatCase{"PreferredLastWins",
                   {format(1280, 720, kOther), format(1920, 1080, kOther),
                    format(1920, 1080, kFourccMjpeg)},
                   2},
        FormatCase{"OtherDoesNotDisplacePreferred",
                   {format(1920, 1080, kFourccMjpeg), format(1920, 1080, kOther)},
                   0},
        FormatCase{"SmallerDistanceWins", {format(3840, 2160, kOther), format(1280, 720, kOther)},
                   1},
        FormatCase{"TieWithoutPreferredKeepsTheFirst",
                   {format(1920, 1080, kOther), format(1920, 1080, kFourccNv12)},
                   0},
        FormatCase{"LaterPreferredReplacesEarlierPreferred",
                   {format(1920, 1080, kFourccMjpeg, {fixed(15)}),
                    format(1920, 1080, kFourccMjpeg, {fixed(30)})},
                   1},
        FormatCase{"EqualDistanceAcrossSizes",
                   {format(2560, 1440, kOther), format(1280, 720, kFourccMjpeg)},
                   1},
        FormatCase{"SingleFormat", {format(640, 480, kOther)}, 0},
        FormatCase{"NoFormats", {}, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

struct RateCase {
  const char* name;
  std::vector<FrameRateRange> ranges;
  double expected;
};

class RateSelectionTest : public CapturerTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RateSelectionTest, PicksTheRateClosestToThirty) {
  EXPECT_DOUBLE_EQ(capturer_->selectFPS(format(1920, 1080, kFourccMjpeg, GetParam().ranges)),
                   GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, RateSelectionTest,
    ::testing::Values(RateCase{"WideRangeKeepsTheTarget", {{1, 60}}, 30.0003},
                      RateCase{"ClosestFixed", {fixed(25), fixed(30), fixed(60)}, 30},
                      RateCase{"ThirtyBeatsNtsc", {fixed(29.97), fixed(30)}, 30},
                      RateCase{"OnlyFixed", {fixed(15)}, 15},
                      RateCase{"RangeThenFixed", {{5, 15}, fixed(30)}, 30},
                      RateCase{"FixedThenRange", {fixed(30), {5, 15}}, 15},
                      RateCase{"RangeBelowTarget", {{1, 20}}, 20},
                      RateCase{"RangeAboveTarget", {{31, 60}}, 31},
                      // The target sits a little above 30, so 31 is nearer than 29.
                      RateCase{"TargetLeansUp", {fixed(29), fixed(31)}, 31},
                      RateCase{"NoRanges", {}, 30.0003}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CapturerTest, SelectionIsLogged) {
  LogCapture log;
  backend_->offered = {format(1920, 1080, kFourccMjpeg, {fixed(30)})};
  capturer_->startCapture(device_);
  EXPECT_EQ(log.count("QCameraVideoCapturer, selectFormat 1920x1080 MJPG"), 1U);
  EXPECT_EQ(log.count("QCameraVideoCapturer, selectFPS 30"), 1U);
}

TEST_F(CapturerTest, StartUsesTheSelectedFormatAndRate) {
  EXPECT_EQ(capturer_->captureRatio, (QVideoRatio{1920, 1080, "原画1080P"}));
  backend_->offered = {format(1280, 720, kFourccMjpeg, {fixed(30)}),
                       format(1920, 1080, kFourccMjpeg, {fixed(25), fixed(30)})};
  backend_->startError = CaptureError{"busy", EBUSY};
  std::optional<CaptureError> reported;
  capturer_->startCapture(device_,
                          [&reported](const std::optional<CaptureError>& e) { reported = e; });

  ASSERT_EQ(backend_->starts.size(), 1U);
  EXPECT_EQ(backend_->starts[0].device, device_);
  EXPECT_EQ(backend_->starts[0].format, backend_->offered[1]);
  EXPECT_DOUBLE_EQ(backend_->starts[0].fps, 30);
  // The error reaches the caller through the completion, and the capturer is not capturing.
  ASSERT_TRUE(reported.has_value());
  EXPECT_EQ(reported->code, EBUSY);
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_EQ(capturer_->captureDevice(), device_);
  EXPECT_EQ(capturer_->format(), backend_->offered[1]);

  bool stopped = false;
  capturer_->stopCapture([&stopped](const std::optional<CaptureError>& e) { stopped = !e; });
  EXPECT_TRUE(stopped);
  EXPECT_EQ(backend_->stops, 1);
  EXPECT_FALSE(capturer_->isCameraing());
}

TEST_F(CapturerTest, WithoutDeviceNothingHappens) {
  bool called = false;
  capturer_->startCapture(std::nullopt, [&called](const auto&) { called = true; });
  EXPECT_FALSE(called);
  EXPECT_TRUE(backend_->starts.empty());
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_FALSE(capturer_->captureDevice().has_value());
}

TEST_F(CapturerTest, DeviceWithoutFormatsIsNotStarted) {
  std::optional<CaptureError> reported;
  capturer_->startCapture(device_, [&reported](const auto& e) { reported = e; });
  EXPECT_TRUE(backend_->starts.empty());
  ASSERT_TRUE(reported.has_value());
  EXPECT_FALSE(reported->message.empty());
  EXPECT_FALSE(capturer_->isCameraing());
  EXPECT_FALSE(capturer_->format().has_value());
}

TEST_F(CapturerTest, GoodSamplesReachTheDelegateWrappedWithoutCopying) {
  backend_->offered = {format(1920, 1080, kFourccMjpeg)};
  capturer_->startCapture(device_);
  const VideoSample sent = sample(1920, 1080, kFourccMjpeg, 1000);
  const std::int64_t before = steadyNowNs();
  backend_->send(sent);
  ASSERT_TRUE(delegate_->frames.waitFor(1));
  const auto frames = delegate_->frames.items();
  const std::int64_t after = steadyNowNs();

  ASSERT_EQ(frames.size(), 1U);
  EXPECT_FALSE(delegate_->remoteSeen);
  EXPECT_EQ(frames[0]->rotation(), 0);
  EXPECT_EQ(frames[0]->buffer().payload, sent.payload);
  EXPECT_EQ(frames[0]->buffer().width, 1920);
  // Stamped from the monotonic clock when handed on.
  EXPECT_GE(frames[0]->timeStampNs(), before);
  EXPECT_LE(frames[0]->timeStampNs(), after);
}

std::mutex debugMutex;
std::vector<std::string> debugLines;

void recordDebug(QtMsgType /*type*/, const QMessageLogContext& /*context*/, const QString& text) {
  const std::lock_guard lock(debugMutex);
  debugLines.push_back(text.toStdString());
}

TEST_F(CapturerTest, BadSamplesAreSkippedWithADebugText) {
  const auto previous = qInstallMessageHandler(recordDebug);
  backend_->offered = {format(1920, 1080, kFourccMjpeg)};
  capturer_->startCapture(device_);
  backend_->send(sample(0, 1080, kFourccMjpeg, 10));
  backend_->send(sample(1920, 1080, 0, 10));
  backend_->send(sample(1920, 1080, kFourccMjpeg, 0));
  backend_->send(sample(64, 48, kFourccMjpeg, 10));  // good: marks the end of the bad ones
  ASSERT_TRUE(delegate_->frames.waitFor(1));
  qInstallMessageHandler(previous);
  const auto frames = delegate_->frames.items();

  ASSERT_EQ(frames.size(), 1U);
  EXPECT_EQ(frames[0]->buffer().width, 64);
  const std::lock_guard lock(debugMutex);
  ASSERT_EQ(debugLines.size(), 3U);
  EXPECT_NE(debugLines[0].find("QCameraVideoCapturer"), std::string::npos);
  EXPECT_NE(debugLines[0].find("sampleBuffer is bad"), std::string::npos);
  EXPECT_NE(debugLines[1].find("sampleBuffer is bad"), std::string::npos);
  EXPECT_NE(debugLines[2].find("sampleBuffer is not buffer"), std::string::npos);
}

TEST_F(CapturerTest, CaptureEndingOnItsOwnIsReported) {
  backend_->offered = {format(1920, 1080, kFourccMjpeg)};
  capturer_->startCapture(device_);
  backend_->fail({"gone", ENODEV});
  EXPECT_FALSE(capturer_->isCameraing());
  ASSERT_EQ(delegate_->failures.size(), 1U);
  EXPECT_EQ(delegate_->failures.items().front().code, ENODEV);
}

}  // namespace
}  // namespace vexhal::video
