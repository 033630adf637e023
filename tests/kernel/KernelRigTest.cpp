// What only a real kernel shows: the formats uvcvideo lists for the gadget's declarations, the
// preview's choice served byte for byte, a busy camera refused, a control handle that stays
// with the node it opened, and the further controls uvcvideo makes of the gadget's.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>

#include "Inbox.h"
#include "KernelRig.h"
#include "RigFrames.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/PixelFormat.h"

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
};

TEST_F(KernelRig, FormatsAreListedAsDeclaredAndThePreviewsChoiceArrivesByteForByte) {
  const std::vector<std::uint8_t> served = sim::RigFrames::place(
      rigVariable("RIG_FRAMES_DIR"), 1920, 1080, rig.camera().pictureSettings());
  ASSERT_FALSE(served.empty());
  const video::CaptureDevice device = cameraDevice();
  EXPECT_EQ(device.path, rigVariable("RIG_VIDEO"));

  // MJPEG 720p and 1080p, YUYV 360p, each at 30 and 15 frames a second (as uvcvideo rounds).
  const auto declared = [](std::int32_t width, std::int32_t height, std::uint32_t pixelFormat) {
    return CaptureFormat{width, height, pixelFormat, {{30, 30}, {15, 15}}};
  };
  std::vector<CaptureFormat> formats = capture->formats(device);
  for (CaptureFormat& format : formats)
    for (video::FrameRateRange& rate : format.frameRateRanges)
      rate = {std::round(rate.minFrameRate), std::round(rate.maxFrameRate)};
  EXPECT_EQ(formats, (std::vector{declared(1280, 720, video::kFourccMjpeg),
                                  declared(1920, 1080, video::kFourccMjpeg),
                                  declared(640, 360, video::kFourccYuyv)}));

  // The preview's choice (MJPEG 1080p, as the contract suite checks) at the faster rate.
  const CaptureFormat chosen = declared(1920, 1080, video::kFourccMjpeg);
  Samples samples;
  ASSERT_EQ(start(*capture, chosen, 30, samples), std::nullopt);
  EXPECT_TRUE(waitUntil([&] { return samples.size() >= 8; }, kBusBound));
  EXPECT_TRUE(rig.sawStream(chosen, 30));
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
  // The old node is gone for good, even when the new one has the same name.
  EXPECT_FALSE(stale.setContrast(130));
}

// A value of `control` other than its current one.
std::int64_t anotherValue(const VideoControl& control) {
  return control.value == control.minimum ? control.minimum + control.step : control.minimum;
}

TEST_F(KernelRig, TheFurtherControlsAreListedAndTheirChangesReachTheCamera) {
  auto controls = rig.uvc().openControlsByLocation(static_cast<std::uint32_t>(rig.locationId()));
  ASSERT_NE(controls, nullptr);
  const auto list = [&] {
    std::map<std::uint32_t, VideoControl> byId;
    for (VideoControl& c : controls->enumerate()) byId[c.id] = std::move(c);
    return byId;
  };
  std::map<std::uint32_t, VideoControl> byId = list();
  for (const std::uint32_t id :
       {V4L2_CID_GAIN, V4L2_CID_GAMMA, V4L2_CID_BACKLIGHT_COMPENSATION,
        V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_EXPOSURE_AUTO, V4L2_CID_EXPOSURE_ABSOLUTE})
    EXPECT_EQ(byId.count(id), 1u) << std::hex << id;
  ASSERT_EQ(byId.count(V4L2_CID_EXPOSURE_AUTO), 1u);
  EXPECT_EQ(byId[V4L2_CID_EXPOSURE_AUTO].type, VideoControl::Type::menu);

  const std::size_t from = uvcLogLines().size();
  for (const auto& [id, uvc] :
       {std::pair(V4L2_CID_GAIN, kUvcGain),
        std::pair(V4L2_CID_BACKLIGHT_COMPENSATION, kUvcBacklightCompensation)}) {
    const std::int64_t value = anotherValue(byId[id]);
    EXPECT_EQ(controls->set(id, value), 0) << std::hex << id;
    EXPECT_TRUE(waitForUvcLogLine(from, uvcSetLine(uvc, value))) << std::hex << id;
  }

  // Manual exposure hands exposure time to the user: uvcvideo lifts its inactive flag and tells
  // every watch.
  const std::int64_t mode = byId[V4L2_CID_EXPOSURE_AUTO].value;
  ASSERT_NE(mode, V4L2_EXPOSURE_MANUAL) << "the camera starts with automatic exposure";
  bool handedOver = false;
  auto watch = rig.uvc().watchControlsByLocation(
      static_cast<std::uint32_t>(rig.locationId()), {V4L2_CID_EXPOSURE_ABSOLUTE},
      [&](const VideoControlEvent& e) { handedOver = e.flagsChanged && !e.inactive; });
  ASSERT_NE(watch, nullptr);
  EXPECT_EQ(controls->set(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL), 0);
  EXPECT_TRUE(waitForUvcLogLine(from, uvcSetLine(kUvcAutoExposureMode, kUvcExposureManual)));
  EXPECT_TRUE(waitUntil([&] { return handedOver; }, kBusBound));
  byId = list();
  EXPECT_FALSE(byId[V4L2_CID_EXPOSURE_ABSOLUTE].inactive);
  EXPECT_EQ(controls->set(V4L2_CID_EXPOSURE_AUTO, mode), 0);
}

}  // namespace
}  // namespace vexhal::kernel::test
