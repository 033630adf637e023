// What only a real kernel shows: the formats uvcvideo lists for the gadget's declarations, the
// preview's choice served byte for byte, a busy camera refused, and a control handle that stays
// with the node it opened.
#include <algorithm>
#include <cerrno>
#include <tuple>

#include "Inbox.h"
#include "KernelRig.h"
#include "RigFrames.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"

namespace vexhal::kernel::test {
namespace {

using sim::test::Outcomes;
using sim::test::Samples;
using video::CaptureError;
using video::CaptureFormat;

class KernelRig : public ::testing::Test {
 protected:
  video::CaptureDevice cameraDevice() {
    const auto paired = sim::test::pairedDevices(*capture, rig.locationId());
    if (paired.empty()) ADD_FAILURE() << "no capture device at the camera's location";
    return paired.empty() ? video::CaptureDevice{} : paired.front();
  }
  // Starts `backend` and waits for its outcome.
  std::optional<CaptureError> start(video::CaptureBackend& backend, const CaptureFormat& format,
                                    double fps, Samples& samples) {
    return sim::test::startStream(backend, cameraDevice(), format, fps, samples, outcomes,
                                  kBusBound);
  }

  Outcomes outcomes;  // of every start, kept while the streams may still report
  GadgetCamera rig;
  std::shared_ptr<video::CaptureBackend> capture = rig.capture();
  std::shared_ptr<video::QCameraVideoCapturer> capturer = video::QCameraVideoCapturer::create(
      std::make_shared<video::QCameraVideoCapturerDelegate>(), false, capture);
};

TEST_F(KernelRig, FormatsAreListedAsDeclaredAndThePreviewsChoiceArrivesByteForByte) {
  const std::vector<std::uint8_t> served = sim::RigFrames::place(
      rigVariable("RIG_FRAMES_DIR"), 1920, 1080, rig.camera().pictureSettings());
  ASSERT_FALSE(served.empty());
  const video::CaptureDevice device = cameraDevice();
  EXPECT_EQ(device.path, rigVariable("RIG_VIDEO"));

  // MJPEG 720p and 1080p, YUYV 360p, each at intervals of 333333 and 666666 x 100 ns.
  const std::vector<std::tuple<std::int32_t, std::int32_t, std::uint32_t>> declared = {
      {1280, 720, video::kFourccMjpeg},
      {1920, 1080, video::kFourccMjpeg},
      {640, 360, video::kFourccYuyv}};
  const std::vector<CaptureFormat> formats = capture->formats(device);
  ASSERT_EQ(formats.size(), declared.size());
  for (std::size_t i = 0; i < declared.size(); ++i) {
    SCOPED_TRACE(video::describe(formats[i]));
    EXPECT_EQ(std::make_tuple(formats[i].width, formats[i].height, formats[i].pixelFormat),
              declared[i]);
    ASSERT_EQ(formats[i].frameRateRanges.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
      const double rate = 1e7 / (r == 0 ? 333333.0 : 666666.0);
      EXPECT_NEAR(formats[i].frameRateRanges[r].minFrameRate, rate, 1e-3);
      EXPECT_NEAR(formats[i].frameRateRanges[r].maxFrameRate, rate, 1e-3);
    }
  }

  // The preview's choice (MJPEG 1080p, as the contract suite checks) at the faster interval.
  const std::optional<CaptureFormat> chosen = capturer->selectFormat(device);
  ASSERT_TRUE(chosen);
  const double fps = capturer->selectFPS(*chosen);
  EXPECT_NEAR(fps, 1e7 / 333333.0, 1e-3);
  Samples samples;
  ASSERT_EQ(start(*capture, *chosen, fps, samples), std::nullopt);
  EXPECT_TRUE(waitUntil([&] { return samples.size() >= 8; }, kBusBound));
  EXPECT_TRUE(rig.sawStream(*chosen, fps));
  capture->stop({});
  for (const video::VideoSample& sample : samples.items()) {
    ASSERT_TRUE(
        std::equal(sample.bytes().begin(), sample.bytes().end(), served.begin(), served.end()))
        << "a frame of " << sample.bytes().size() << " bytes, " << served.size() << " served";
  }
}

TEST_F(KernelRig, ASecondCaptureOfABusyCameraFailsWithoutDisturbingTheFirst) {
  const CaptureFormat format = capture->formats(cameraDevice()).front();
  Samples first;
  ASSERT_EQ(start(*capture, format, 30, first), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return first.size() >= 2; }, kBusBound));

  // Another capture of the same camera (another program, as far as the driver can tell).
  video::V4l2CaptureBackend other;
  Samples none;
  const std::optional<CaptureError> refused = start(other, format, 30, none);
  other.stop({});
  ASSERT_TRUE(refused) << "a second stream of one camera was accepted";
  EXPECT_EQ(refused->code, EBUSY) << refused->message;

  const std::size_t seen = first.size();
  EXPECT_TRUE(waitUntil([&] { return first.size() >= seen + 2; }, kBusBound));
  capture->stop({});
}

TEST_F(KernelRig, AControlHandleStaysWithTheNodeItOpenedAcrossAReplug) {
  UVCCameraControl stale = UVCCameraControl::withVendorProduct(0xB206, 0xB215, rig.uvc());
  ASSERT_TRUE(stale.setContrast(120));
  ASSERT_TRUE(rig.unplug());
  ASSERT_TRUE(rig.plug());
  // The old node is gone for good, even when the new one has the same name (a new handle
  // working after the replug is the contract suite's).
  EXPECT_FALSE(stale.setContrast(130));
}

}  // namespace
}  // namespace vexhal::kernel::test
