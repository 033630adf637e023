// What the program relies on from the camera, through its own device and video layers; run
// against the virtual camera in-process and against the USB gadget in the kernel rig.
#include <QImage>

#include "CameraCommand.h"
#include "CameraContract.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "device/UsbLocation.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/preview/FrameDecoder.h"
#include "video/PixelFormat.h"
#include "video/QCameraVideoCapturer.h"

namespace vexhal::sim::test {
namespace {

using video::CaptureDevice;
using video::CaptureError;
using Text = std::optional<std::string>;

// A payload of four packets, the last one partial.
QByteArray image(FirmwareVersion version) {
  QByteArray payload(3 * 1010 + 17, '\0');
  for (int i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + 3);
  return buildFirmwareImage(version, payload);
}

// What the preview's delegate hears, from the capture threads.
class FrameCollector : public video::QCameraVideoCapturerDelegate {
 public:
  void didOutputFrameWithRemoteFrame(std::shared_ptr<const video::VideoFrame>,
                                     std::shared_ptr<const video::VideoFrame> frame) override {
    samples.push(frame->buffer());
  }
  void didStopWithError(const CaptureError& error) override { errors.push(error); }
  video::testing::Inbox<video::VideoSample> samples;
  video::testing::Inbox<CaptureError> errors;
};

class CameraContract : public ::testing::Test {
 protected:
  void SetUp() override {
    manager = std::make_unique<USBHidManager>(backend->discovery());
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(kVendorId, kProductId);
    ASSERT_TRUE(waitUntil([this] { return !manager->devices().empty(); }, bound));
  }
  void TearDown() override { capturer->stopCapture(); }

  std::shared_ptr<USBDevice> device() const {
    return manager->devices().empty() ? nullptr : manager->devices().front();
  }
  std::int64_t state() {
    return ask<std::int64_t>([&](auto done) { device()->getState(done); }).value;
  }
  Text version() {
    return ask<Text>([&](auto done) { device()->getVersion(done); }).value;
  }
  // Waits for the camera to leave the manager and a new device to take its place.
  bool comesBack(const std::weak_ptr<USBDevice>& before) {
    return waitUntil([&] { return before.expired() && manager->devices().size() == 1; }, bound) &&
           backend->settle();
  }
  std::optional<CaptureDevice> captureDevice() {
    const auto paired = pairedDevices(*capture, backend->locationId());
    return paired.empty() ? std::nullopt : std::optional(paired.front());
  }
  std::optional<CaptureError> start(const CaptureDevice& camera) {
    auto outcome = std::make_shared<video::testing::Inbox<std::optional<CaptureError>>>();
    capturer->startCapture(camera, [outcome](const auto& error) { outcome->push(error); });
    if (!waitUntil([&] { return outcome->size() > 0; }, bound)) return CaptureError{"no outcome"};
    return outcome->items().front();
  }
  bool framesArrive(std::size_t more) {
    const std::size_t target = collector->samples.size() + more;
    return waitUntil([&] { return collector->samples.size() >= target; }, bound);
  }

  std::unique_ptr<CameraBackend> backend = makeBackend();
  const std::chrono::milliseconds bound = backend->bound();
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::unique_ptr<USBHidManager> manager;
  std::shared_ptr<video::CaptureBackend> capture = backend->capture();
  std::shared_ptr<FrameCollector> collector = std::make_shared<FrameCollector>();
  std::shared_ptr<video::QCameraVideoCapturer> capturer =
      video::QCameraVideoCapturer::create(collector, false, capture);
};

TEST_F(CameraContract, IsFoundAtItsLocationPairedWithOneCaptureDeviceAndAnswersWhoItIs) {
  ASSERT_EQ(manager->devices().size(), 1u);
  EXPECT_EQ(device()->key(), backend->hidKey());
  EXPECT_EQ(device()->locationID(), backend->locationId());
  EXPECT_EQ(device()->modelName(), "VX-K31D");

  const auto paired = pairedDevices(*capture, device()->locationID());
  ASSERT_EQ(paired.size(), 1u) << "a camera's second node must not pair as another device";
  EXPECT_EQ(paired.front().uniqueId,
            captureUniqueId(device()->locationID(), kVendorId, kProductId));
  EXPECT_TRUE(
      UVCCameraControl::withUniqueId(paired.front().uniqueId, backend->uvc()).hasInterface());

  EXPECT_EQ(state(), 1);  // ready
  EXPECT_EQ(version(), backend->camera().firmwareVersion().text());
}

// A value and a flag through the HID side, and each image control through the UVC side (by
// ids and by location): set, read back and held by the camera.
TEST_F(CameraContract, SettingsAreSetReadBackAndSaved) {
  const auto camera = device();
  const VirtualCamera& held = backend->camera();
  EXPECT_EQ(ask<std::int64_t>([&](auto done) { camera->getAngle(done); }).value, 120);
  EXPECT_EQ(askCode([&](auto done) { camera->setAngle(90, done); }), 0);
  EXPECT_EQ(ask<std::int64_t>([&](auto done) { camera->getAngle(done); }).value, 90);
  EXPECT_FALSE(ask<bool>([&](auto done) { camera->getHMirror(done); }).value);
  EXPECT_EQ(askCode([&](auto done) { camera->setHMirror(true, done); }), 0);
  EXPECT_TRUE(ask<bool>([&](auto done) { camera->getHMirror(done); }).value);
  EXPECT_TRUE(held.functions().hMirror);
  // Out of range: refused by the camera, nothing changes.
  EXPECT_EQ(askCode([&](auto done) { camera->setAngle(75, done); }), kResultInvalidValue);
  EXPECT_EQ(held.functions().angle, 90);
  EXPECT_NE(held.savedFunctions(), held.functions());
  EXPECT_EQ(askCode([&](auto done) { camera->saveUVC(done); }), 0);
  EXPECT_EQ(held.savedFunctions(), held.functions());

  using U = UVCCameraControl;
  U byIds = U::withVendorProduct(kVendorId, kProductId, backend->uvc());
  U byLocation(static_cast<std::uint32_t>(backend->locationId()), backend->uvc());
  struct Control {
    UVCControlInfo info;
    bool (U::*set)(std::int64_t);
    std::int64_t (U::*get)();
    std::int64_t value;
  };
  for (const Control& c : {Control{kUvcBrightness, &U::setBrightness, &U::getBrightness, 79},
                           Control{kUvcSharpness, &U::setSharpness, &U::getSharpness, 150}}) {
    SCOPED_TRACE(c.info.selector);
    EXPECT_TRUE((byIds.*c.set)(c.value));
    EXPECT_TRUE(backend->uvcWasSet(c.info, c.value));
    EXPECT_EQ((byIds.*c.get)(), c.value);
    EXPECT_EQ((byLocation.*c.get)(), c.value);
  }
}

// The manager, the preview and the image controls all let go of an unplugged camera and find it
// again once it is back: one removal and one arrival, the preview streams MJPEG 1080p again, and
// a new control handle works where the old one fails.
TEST_F(CameraContract, UnplugAndReplugEndEveryUseOfTheCameraAndARetryFindsItAgain) {
  const std::weak_ptr<USBDevice> before = device();
  const std::string oldKey = device()->key();
  delegate->events.clear();
  UVCCameraControl controls =
      UVCCameraControl::withVendorProduct(kVendorId, kProductId, backend->uvc());
  const auto camera = captureDevice();
  ASSERT_TRUE(camera);
  ASSERT_EQ(start(*camera), std::nullopt);
  ASSERT_TRUE(framesArrive(2));
  EXPECT_EQ(capturer->format()->width, 1920);
  EXPECT_EQ(capturer->format()->pixelFormat, video::kFourccMjpeg);

  ASSERT_TRUE(backend->unplug());
  ASSERT_TRUE(waitUntil([&] { return manager->devices().empty(); }, bound));
  EXPECT_EQ(delegate->events, std::vector<std::string>{"-" + oldKey});
  EXPECT_TRUE(waitUntil([&] { return before.expired(); })) << "the old link is still held";
  ASSERT_TRUE(waitUntil([&] { return collector->errors.size() > 0; }, bound));
  EXPECT_NE(collector->errors.items().front().code, 0);
  EXPECT_FALSE(capturer->isCameraing());
  capturer->stopCapture();  // stopping a capture that ended on its own is harmless
  EXPECT_FALSE(captureDevice()) << "a camera that is gone is still listed";
  EXPECT_FALSE(controls.setContrast(130));
  EXPECT_EQ(controls.getContrast(), 0);
  EXPECT_FALSE(
      UVCCameraControl::withVendorProduct(kVendorId, kProductId, backend->uvc()).hasInterface());

  ASSERT_TRUE(backend->plug());
  ASSERT_TRUE(waitUntil([&] { return manager->devices().size() == 1; }, bound));
  settle();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"-" + oldKey, "+" + backend->hidKey()}));
  EXPECT_EQ(state(), 1);
  std::optional<CaptureDevice> again;
  ASSERT_TRUE(waitUntil([&] { return (again = captureDevice()).has_value(); }, bound));
  EXPECT_EQ(again->uniqueId, camera->uniqueId);
  ASSERT_EQ(start(*again), std::nullopt);
  EXPECT_TRUE(framesArrive(2));
  capturer->stopCapture();
  EXPECT_EQ(collector->errors.size(), 1u);
  UVCCameraControl fresh =
      UVCCameraControl::withVendorProduct(kVendorId, kProductId, backend->uvc());
  EXPECT_TRUE(fresh.setContrast(131));
  EXPECT_TRUE(backend->uvcWasSet(kUvcContrast, 131));
  EXPECT_EQ(fresh.getContrast(), 131);
}

// A damaged image is refused and a transfer cut off by the camera leaving restarts it: either
// leaves the camera failed on its old version, until a good image restarts it on the new one
// with its saved settings.
TEST_F(CameraContract, AFailedTransferLeavesTheCameraFailedUntilAGoodImageRepairsIt) {
  EXPECT_EQ(askCode([&](auto done) { device()->setAngle(90, done); }), 0);
  EXPECT_EQ(askCode([&](auto done) { device()->saveUVC(done); }), 0);
  EXPECT_EQ(askCode([&](auto done) { device()->setHMirror(true, done); }), 0);
  const Text oldVersion = version();
  std::weak_ptr<USBDevice> before = device();
  QByteArray damaged = image({9, 9, 9});
  damaged[100] = static_cast<char>(damaged[100] ^ 4);
  EXPECT_EQ(askCode([&](auto done) { device()->startUpgrade(damaged, done); }),
            kResultImageRejected);
  settle();
  EXPECT_EQ(device(), before.lock()) << "no restart";
  EXPECT_EQ(state(), 2);
  EXPECT_EQ(version(), oldVersion);

  SimFaults faults;
  faults.detachAfterPacket = 2;
  backend->camera().setFaults(faults);
  auto called = std::make_shared<bool>(false);
  device()->startUpgrade(image({2, 0, 0}), [called](std::int64_t) { *called = true; });
  ASSERT_TRUE(comesBack(before));
  settle();
  EXPECT_FALSE(*called) << "a camera that left gives the transfer no outcome";
  backend->camera().setFaults({});
  EXPECT_EQ(state(), 2);
  EXPECT_EQ(version(), oldVersion);

  before = device();
  EXPECT_EQ(askCode([&](auto done) { device()->startUpgrade(image({2, 0, 1}), done); }), 0);
  ASSERT_TRUE(comesBack(before));
  EXPECT_EQ(state(), 1);
  EXPECT_EQ(version(), "2.0.1");
  EXPECT_EQ(ask<std::int64_t>([&](auto done) { device()->getAngle(done); }).value, 90);
  EXPECT_FALSE(ask<bool>([&](auto done) { device()->getHMirror(done); }).value);
}

TEST_F(CameraContract, EveryListedFormatStreamsDecodableFramesOfItsSize) {
  const auto camera = captureDevice();
  ASSERT_TRUE(camera);
  const auto formats = capture->formats(*camera);
  ASSERT_FALSE(formats.empty());
  for (const video::CaptureFormat& format : formats) {
    SCOPED_TRACE(video::describe(format));
    Samples samples;
    Outcomes started;
    const double fps = format.frameRateRanges.back().minFrameRate;  // the slowest offered
    const auto failed = startStream(*capture, *camera, format, fps, samples, started, bound);
    ASSERT_FALSE(failed) << failed->message;
    EXPECT_TRUE(waitUntil([&] { return samples.size() >= 2; }, bound));
    EXPECT_TRUE(backend->sawStream(format, fps));
    capture->stop({});
    ASSERT_EQ(started.size(), 1u);
    ASSERT_GE(samples.size(), 2u);
    const video::VideoSample sample = samples.items().back();
    EXPECT_EQ(sample.pixelFormat, format.pixelFormat);
    QImage picture;
    EXPECT_EQ(video::FrameDecoder().decode(sample, picture), "");
    EXPECT_EQ(picture.size(), QSize(format.width, format.height));
  }
}

}  // namespace
}  // namespace vexhal::sim::test
