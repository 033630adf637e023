// The virtual camera's video through the capture seam and the program's capture pipeline.
#include <gtest/gtest.h>

#include <QImage>

#include <cerrno>
#include <numeric>

#include "Inbox.h"
#include "SimCaptureBackend.h"
#include "SimTestSupport.h"
#include "SimUvcTransportFactory.h"
#include "device/hid/CaptureDevicePairing.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/FrameDecoder.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"
#include "video/QRTCCamera.h"

namespace vexhal::sim {
namespace {

using test::waitUntil;

using Samples = video::testing::Inbox<video::VideoSample>;

// What the program's capturer hands its delegate, on the capture threads.
class FrameDelegate : public video::QCameraVideoCapturerDelegate {
 public:
  void didOutputFrameWithRemoteFrame(std::shared_ptr<const video::VideoFrame>,
                                     std::shared_ptr<const video::VideoFrame> frame) override {
    samples.push(frame->buffer());
  }
  void didStopWithError(const video::CaptureError& error) override { errors.push(error); }
  Samples samples;
  video::testing::Inbox<video::CaptureError> errors;
};

QImage decode(const video::VideoSample& sample) {
  video::FrameDecoder decoder;
  QImage image;
  const std::string error = decoder.decode(sample, image);
  EXPECT_EQ(error, "");
  return image;
}

double meanLuma(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); y += 4) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); x += 4) sum += qGray(line[x]);
  }
  return sum / ((image.height() / 4.0) * (image.width() / 4.0));
}

struct SimCapture : ::testing::Test {
  SimCapture() {
    test::ensureCoreApplication();
    camera.plug();
  }
  ~SimCapture() override { backend->stop({}); }

  video::CaptureDevice device() {
    const auto devices = backend->devices();
    EXPECT_EQ(devices.size(), 1U);
    return devices.empty() ? video::CaptureDevice{} : devices.front();
  }

  VirtualCamera camera;
  std::shared_ptr<SimCaptureBackend> backend =
      std::make_shared<SimCaptureBackend>(std::vector{&camera});
};

TEST_F(SimCapture, TheCameraIsACaptureDevicePairedWithItsHidSide) {
  const video::CaptureDevice found = device();
  EXPECT_TRUE(isMatched(found.uniqueId, camera.locationId()));
  EXPECT_EQ(found.modelId, "b206:b215");
  EXPECT_EQ(backend->formats(found), SimCaptureBackend::cameraFormats());
  EXPECT_EQ(backend->preferredOutputPixelFormat(), video::kFourccMjpeg);
  camera.unplug();
  EXPECT_TRUE(backend->devices().empty());
  EXPECT_TRUE(backend->formats(found).empty());
}

TEST_F(SimCapture, TheProgramsCapturerChoosesMjpeg1080AndGetsDecodableFrames) {
  auto delegate = std::make_shared<FrameDelegate>();
  auto capturer = video::QCameraVideoCapturer::create(delegate, false, backend);
  std::optional<std::optional<video::CaptureError>> started;
  capturer->startCapture(device(), [&](const std::optional<video::CaptureError>& error) {
    started = error;
  });
  ASSERT_TRUE(waitUntil([&] { return delegate->samples.size() >= 3; }));
  ASSERT_TRUE(started.has_value());
  EXPECT_FALSE(started->has_value());
  ASSERT_TRUE(capturer->format().has_value());
  EXPECT_EQ(capturer->format()->pixelFormat, video::kFourccMjpeg);
  EXPECT_EQ(capturer->format()->width, 1920);
  const auto samples = delegate->samples.items();
  const QImage image = decode(samples.back());
  EXPECT_EQ(image.size(), QSize(1920, 1080));
  EXPECT_NE(*samples[0].payload, *samples[1].payload);  // a moving picture
  capturer->stopCapture();
  EXPECT_FALSE(capturer->isCameraing());
}

class EveryFormat : public SimCapture,
                    public ::testing::WithParamInterface<video::CaptureFormat> {};

TEST_P(EveryFormat, DeliversDecodableFramesOfThatFormat) {
  const video::CaptureFormat& format = GetParam();
  Samples collector;
  video::QRTCCamera capture(backend);
  capture.setOutputBlock([&](const video::VideoSample& sample) { collector.push(sample); });
  std::optional<std::optional<video::CaptureError>> started;
  capture.startCapture(device(), format, format.frameRateRanges.front().maxFrameRate,
                       [&](const std::optional<video::CaptureError>& e) { started = e; });
  ASSERT_TRUE(waitUntil([&] { return collector.size() >= 2; }));
  EXPECT_FALSE(started->has_value());
  // The capture info reports the stream.
  EXPECT_TRUE(waitUntil([&] {
    VirtualCamera& c = camera;
    hid_cmd_pack_t request = getPackage(0x5020);
    const auto reply = c.respond(request);
    return reply && readLittleEndian(&reply->data[0], 4) == format.width &&
           readLittleEndian(&reply->data[4], 4) == format.height;
  }));
  const video::VideoSample sample = collector.items().back();
  EXPECT_EQ(sample.pixelFormat, format.pixelFormat);
  EXPECT_EQ(decode(sample).size(), QSize(format.width, format.height));
  capture.stopCapture({});
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat,
                         ::testing::ValuesIn(SimCaptureBackend::cameraFormats()),
                         [](const ::testing::TestParamInfo<video::CaptureFormat>& param) {
                           return video::fourccText(param.param.pixelFormat) +
                                  std::to_string(param.param.width) + "x" +
                                  std::to_string(param.param.height);
                         });

TEST_F(SimCapture, ThePictureFollowsAnImageControlSetThroughUvc) {
  Samples collector;
  video::QRTCCamera capture(backend);
  capture.setOutputBlock([&](const video::VideoSample& sample) { collector.push(sample); });
  const video::CaptureFormat small{640, 480, video::kFourccMjpeg, {{30, 30}}};
  capture.startCapture(device(), small, 30, {});
  ASSERT_TRUE(waitUntil([&] { return collector.size() >= 1; }));
  const double before = meanLuma(decode(collector.items().back()));

  SimUvcTransportFactory factory({&camera});
  ASSERT_TRUE(UVCCameraControl(static_cast<std::uint32_t>(camera.locationId()), factory)
                  .setBrightness(178));
  // The loop is made again in the background; the stream switches to it when it is ready.
  EXPECT_TRUE(waitUntil([&] {
    return meanLuma(decode(collector.items().back())) > before + 30;
  }));
  capture.stopCapture({});
}

TEST_F(SimCapture, UnpluggingEndsTheCaptureWithAnError) {
  auto delegate = std::make_shared<FrameDelegate>();
  auto capturer = video::QCameraVideoCapturer::create(delegate, false, backend);
  capturer->startCapture(device());
  ASSERT_TRUE(waitUntil([&] { return delegate->samples.size() >= 1; }));
  camera.unplug();
  ASSERT_TRUE(waitUntil([&] { return !delegate->errors.items().empty(); }));
  EXPECT_EQ(delegate->errors.items().front().code, ENODEV);
  capturer->stopCapture();
}

TEST_F(SimCapture, WhatTheCameraDoesNotOfferIsRefused) {
  std::vector<int> codes;
  const auto record = [&](const std::optional<video::CaptureError>& error) {
    codes.push_back(error ? error->code : 0);
  };
  const video::CaptureFormat unknown{800, 600, video::kFourccMjpeg, {{30, 30}}};
  const video::CaptureFormat yuyv1080{1920, 1080, video::kFourccYuyv, {{5, 5}}};
  backend->start(device(), unknown, 30, {}, record);
  backend->start(device(), yuyv1080, 30, {}, record);  // 5 fps only
  backend->start(video::CaptureDevice{"0x1", "other", "", "/dev/video9"}, yuyv1080, 5, {},
                 record);
  EXPECT_EQ(codes, (std::vector<int>{EINVAL, EINVAL, ENODEV}));
}

}  // namespace
}  // namespace vexhal::sim
