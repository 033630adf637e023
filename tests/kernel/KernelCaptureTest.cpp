// Capture against a real kernel: the formats uvcvideo reports for the gadget's declarations, the
// preview's choice among them, MJPEG 1920 x 1080 frames captured exactly as the camera served
// them, and a camera unplugged while streaming, then found again once it is back.
#include <gtest/gtest.h>

#include <QImage>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "Inbox.h"
#include "KernelRig.h"
#include "RigFrames.h"
#include "device/hid/CaptureDevicePairing.h"
#include "video/FrameDecoder.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"
#include "video/VideoFrame.h"
#include "video/linux/V4l2CaptureBackend.h"

namespace vexhal::kernel::test {
namespace {

using video::CaptureDevice;
using video::CaptureError;
using video::CaptureFormat;

// What the preview's delegate hears, from the capture threads; the first frames are kept.
class FrameCollector : public video::QCameraVideoCapturerDelegate {
 public:
  static constexpr std::size_t kKept = 8;

  void didOutputFrameWithRemoteFrame(std::shared_ptr<const video::VideoFrame>,
                                     std::shared_ptr<const video::VideoFrame> frame) override {
    if (count.fetch_add(1) < kKept) {
      frames.push(std::move(frame));
    }
  }
  void didStopWithError(const CaptureError& error) override { errors.push(error); }

  std::atomic<std::size_t> count = 0;
  video::testing::Inbox<std::shared_ptr<const video::VideoFrame>> frames;
  video::testing::Inbox<CaptureError> errors;
};

class KernelCapture : public ::testing::Test {
 protected:
  // The camera's capture device as the backend lists it now, found by its USB location.
  std::optional<CaptureDevice> cameraDevice() {
    const int bus = usbBusNumberOf(rigVariable("RIG_VIDEO"));
    const std::int64_t location = std::int64_t{bus} << 24 | 0x00100000;
    for (const CaptureDevice& device : backend->devices()) {
      if (bus > 0 && isMatched(device.uniqueId, location)) {
        return device;
      }
    }
    return std::nullopt;
  }

  // Starts the preview's capture and waits for the completion.
  std::optional<CaptureError> start(const CaptureDevice& device) {
    auto outcome = std::make_shared<video::testing::Inbox<std::optional<CaptureError>>>();
    capturer->startCapture(
        device, [outcome](const std::optional<CaptureError>& error) { outcome->push(error); });
    EXPECT_TRUE(waitUntil([&] { return outcome->size() > 0; }, kBusBound));
    return outcome->size() == 0 ? std::nullopt : outcome->items().front();
  }

  bool waitForFrames(std::size_t count) {
    return waitUntil([&] { return collector->count >= count; }, kBusBound);
  }

  GadgetCamera rig;
  std::shared_ptr<video::V4l2CaptureBackend> backend =
      std::make_shared<video::V4l2CaptureBackend>();
  std::shared_ptr<FrameCollector> collector = std::make_shared<FrameCollector>();
  std::shared_ptr<video::QCameraVideoCapturer> capturer =
      video::QCameraVideoCapturer::create(collector, false, backend);
};

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(KernelCapture, FormatsAndRatesAreListedAsTheCameraDeclaresThem) {
  const auto device = cameraDevice();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->path, rigVariable("RIG_VIDEO"));

  // The gadget's declarations: MJPEG 720p and 1080p, YUYV 360p, each at intervals of
  // 333333 and 666666 hundred-nanosecond units.
  struct Declared {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t pixelFormat;
  };
  const std::vector<Declared> declared = {{1280, 720, video::kFourccMjpeg},
                                          {1920, 1080, video::kFourccMjpeg},
                                          {640, 360, video::kFourccYuyv}};
  const std::vector<CaptureFormat> formats = backend->formats(*device);
  ASSERT_EQ(formats.size(), declared.size());
  for (std::size_t i = 0; i < declared.size(); ++i) {
    SCOPED_TRACE(video::describe(formats[i]));
    EXPECT_EQ(formats[i].width, declared[i].width);
    EXPECT_EQ(formats[i].height, declared[i].height);
    EXPECT_EQ(formats[i].pixelFormat, declared[i].pixelFormat);
    ASSERT_EQ(formats[i].frameRateRanges.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
      const double rate = 1e7 / (r == 0 ? 333333.0 : 666666.0);
      EXPECT_NEAR(formats[i].frameRateRanges[r].minFrameRate, rate, 1e-3);
      EXPECT_NEAR(formats[i].frameRateRanges[r].maxFrameRate, rate, 1e-3);
    }
  }

  const std::optional<CaptureFormat> chosen = capturer->selectFormat(*device);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->width, 1920);
  EXPECT_EQ(chosen->height, 1080);
  EXPECT_EQ(chosen->pixelFormat, video::kFourccMjpeg);
  EXPECT_NEAR(capturer->selectFPS(*chosen), 1e7 / 333333.0, 1e-3);
}

TEST_F(KernelCapture, MjpegFramesArriveExactlyAsServedAndDecode) {
  const std::vector<std::uint8_t> served =
      sim::RigFrames::place(rigVariable("RIG_FRAMES_DIR"), 1920, 1080, rig.camera.pictureSettings());
  ASSERT_FALSE(served.empty());
  ASSERT_EQ(readFile(rigVariable("RIG_FRAMES_DIR") + "/1920x1080.jpg"), served);
  const auto device = cameraDevice();
  ASSERT_TRUE(device);
  const std::size_t logBefore = uvcLogLines().size();

  EXPECT_EQ(start(*device), std::nullopt);
  ASSERT_TRUE(waitForFrames(FrameCollector::kKept));
  capturer->stopCapture();

  // The selection reached the camera as its commit: MJPEG (format 1), 1080p (frame 2), 30 fps.
  EXPECT_TRUE(
      waitForUvcLogLine(logBefore, "SET_CUR streaming selector=2 format=1 frame=2 interval=333333"));

  video::FrameDecoder decoder;
  QImage picture;
  for (const auto& frame : collector->frames.items()) {
    const video::VideoSample& sample = frame->buffer();
    EXPECT_EQ(sample.pixelFormat, video::kFourccMjpeg);
    EXPECT_EQ(sample.width, 1920);
    EXPECT_EQ(sample.height, 1080);
    ASSERT_TRUE(std::equal(sample.bytes().begin(), sample.bytes().end(), served.begin(),
                           served.end()))
        << "a frame of " << sample.bytes().size() << " bytes, " << served.size() << " served";
    EXPECT_EQ(decoder.decode(sample, picture), "");
    EXPECT_EQ(picture.size(), QSize(1920, 1080));
  }
}

// Each declared format at a chosen rate: the camera is told that format, frame and interval,
// and what it streams arrives at that size and decodes.
struct StreamCase {
  const char* name;
  std::int32_t width;
  std::int32_t height;
  std::uint32_t pixelFormat;
  double fps;
  const char* commit;  // the camera's log line for the stream it was asked for
};

class KernelCaptureFormats : public KernelCapture,
                             public ::testing::WithParamInterface<StreamCase> {};

TEST_P(KernelCaptureFormats, TheFormatIsCommittedAndItsFramesDecode) {
  const StreamCase& stream = GetParam();
  const auto device = cameraDevice();
  ASSERT_TRUE(device);
  std::optional<CaptureFormat> format;
  for (const CaptureFormat& candidate : backend->formats(*device)) {
    if (candidate.width == stream.width && candidate.height == stream.height &&
        candidate.pixelFormat == stream.pixelFormat) {
      format = candidate;
    }
  }
  ASSERT_TRUE(format);

  video::testing::Inbox<video::VideoSample> samples;
  video::testing::Inbox<std::optional<CaptureError>> started;
  video::CaptureSink sink;
  sink.sample = [&](video::VideoSample sample) { samples.push(std::move(sample)); };
  const std::size_t logBefore = uvcLogLines().size();
  backend->start(*device, *format, stream.fps, sink,
                 [&](const std::optional<CaptureError>& e) { started.push(e); });
  EXPECT_TRUE(waitUntil([&] {
    return samples.size() >= 3 || (started.size() > 0 && started.items().front());
  }, kBusBound));
  backend->stop({});
  ASSERT_EQ(started.size(), 1u);
  ASSERT_EQ(started.items().front(), std::nullopt) << started.items().front()->message;
  EXPECT_TRUE(waitForUvcLogLine(logBefore, stream.commit));

  video::FrameDecoder decoder;
  QImage picture;
  ASSERT_GE(samples.size(), 3u);
  for (const video::VideoSample& sample : samples.items()) {
    EXPECT_EQ(sample.pixelFormat, stream.pixelFormat);
    EXPECT_EQ(sample.width, stream.width);
    EXPECT_EQ(sample.height, stream.height);
    EXPECT_EQ(decoder.decode(sample, picture), "");
    EXPECT_EQ(picture.size(), QSize(stream.width, stream.height));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Declared, KernelCaptureFormats,
    ::testing::Values(
        StreamCase{"mjpeg720p30", 1280, 720, video::kFourccMjpeg, 30,
                   "SET_CUR streaming selector=2 format=1 frame=1 interval=333333"},
        StreamCase{"mjpeg1080p15", 1920, 1080, video::kFourccMjpeg, 15,
                   "SET_CUR streaming selector=2 format=1 frame=2 interval=666666"},
        StreamCase{"yuyv360p15", 640, 360, video::kFourccYuyv, 15,
                   "SET_CUR streaming selector=2 format=2 frame=1 interval=666666"}),
    [](const ::testing::TestParamInfo<StreamCase>& param) { return param.param.name; });

TEST_F(KernelCapture, ASecondCaptureOfABusyCameraFailsWithoutDisturbingTheFirst) {
  const auto device = cameraDevice();
  ASSERT_TRUE(device);
  ASSERT_EQ(start(*device), std::nullopt);
  ASSERT_TRUE(waitForFrames(2));

  // Another capture of the same camera (another program, as far as the driver can tell).
  video::V4l2CaptureBackend other;
  video::testing::Inbox<std::optional<CaptureError>> outcome;
  video::CaptureSink sink;
  sink.sample = [](video::VideoSample) {};
  other.start(*device, *capturer->format(), 30, sink,
              [&](const std::optional<CaptureError>& e) { outcome.push(e); });
  ASSERT_TRUE(waitUntil([&] { return outcome.size() > 0; }, kBusBound));
  other.stop({});
  const std::optional<CaptureError> refused = outcome.items().front();
  ASSERT_TRUE(refused) << "a second stream of one camera was accepted";
  EXPECT_EQ(refused->code, EBUSY) << refused->message;

  // The first capture goes on.
  const std::size_t seen = collector->count;
  EXPECT_TRUE(waitForFrames(seen + 2));
  capturer->stopCapture();
  EXPECT_TRUE(collector->errors.items().empty());
}

TEST_F(KernelCapture, UnplugWhileStreamingEndsCaptureAndARetryFindsTheCameraAgain) {
  const auto device = cameraDevice();
  ASSERT_TRUE(device);
  ASSERT_EQ(start(*device), std::nullopt);
  ASSERT_TRUE(waitForFrames(3));

  ASSERT_TRUE(rig.unplug());
  ASSERT_TRUE(waitUntil([&] { return !collector->errors.items().empty(); }, kBusBound));
  EXPECT_FALSE(capturer->isCameraing());
  capturer->stopCapture();  // stopping a capture that ended on its own is harmless
  EXPECT_EQ(collector->errors.items().size(), 1u);
  EXPECT_FALSE(cameraDevice()) << "a camera that is gone is still listed";

  ASSERT_TRUE(rig.plug());
  std::optional<CaptureDevice> again;
  ASSERT_TRUE(waitUntil([&] { return (again = cameraDevice()).has_value(); }, kBusBound));
  EXPECT_EQ(again->uniqueId, device->uniqueId);
  EXPECT_EQ(again->path, rigVariable("RIG_VIDEO"));
  const std::size_t before = collector->count;
  ASSERT_EQ(start(*again), std::nullopt);
  EXPECT_TRUE(waitForFrames(before + 3));
  capturer->stopCapture();
  EXPECT_EQ(collector->errors.items().size(), 1u);
}

}  // namespace
}  // namespace vexhal::kernel::test
