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

void expectDecodes(const video::VideoSample& sample, std::int32_t width, std::int32_t height) {
  video::FrameDecoder decoder;
  QImage picture;
  EXPECT_EQ(decoder.decode(sample, picture), "");
  EXPECT_EQ(picture.size(), QSize(width, height));
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
  template <typename Value, typename Call>
  Answer<Value> get(Call call) {
    return ask<Value>(call, bound);
  }
  template <typename Call>
  std::int64_t code(Call call) {
    return askCode(call, bound);
  }
  std::int64_t state() {
    return get<std::int64_t>([&](auto done) { device()->getState(done); }).value;
  }
  Text version() {
    return get<Text>([&](auto done) { device()->getVersion(done); }).value;
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
  // The manager holds the interface exclusively.
  EXPECT_FALSE(backend->discovery()
                   ->open({device()->key(), kVendorId, kProductId, device()->locationID()})
                   .isValid());

  const auto paired = pairedDevices(*capture, device()->locationID());
  ASSERT_EQ(paired.size(), 1u) << "a camera's second node must not pair as another device";
  EXPECT_EQ(paired.front().uniqueId,
            captureUniqueId(device()->locationID(), kVendorId, kProductId));
  const auto location = static_cast<std::uint32_t>(device()->locationID());
  EXPECT_TRUE(UVCCameraControl(location, backend->uvc()).hasInterface());
  EXPECT_TRUE(
      UVCCameraControl::withUniqueId(paired.front().uniqueId, backend->uvc()).hasInterface());

  const auto state = get<std::int64_t>([&](auto done) { device()->getState(done); });
  EXPECT_EQ(state.code, 0);
  EXPECT_EQ(state.value, 1);  // ready
  EXPECT_EQ(version(), backend->camera().firmwareVersion().text());
  const auto serial = get<Text>([&](auto done) { device()->getSerialNumber(done); });
  EXPECT_EQ(serial.code, 0);
  EXPECT_EQ(serial.value, backend->camera().serialNumber());
  EXPECT_EQ(device()->serialNumber(), backend->camera().serialNumber());
}

TEST_F(CameraContract, EverySettingStartsAtTheFactoryValueIsSetReadBackAndSaved) {
  const auto camera = device();
  const VirtualCamera& held = backend->camera();
  for (const FunctionCase& setting : functionCases()) {
    SCOPED_TRACE(setting.name);
    EXPECT_EQ(get<std::int64_t>([&](auto done) { setting.get(*camera, done); }).value,
              setting.factory);
    EXPECT_EQ(code([&](auto done) { setting.set(*camera, setting.value, done); }), 0);
    const auto read = get<std::int64_t>([&](auto done) { setting.get(*camera, done); });
    EXPECT_EQ(read.code, 0);
    EXPECT_EQ(read.value, setting.value);
    EXPECT_EQ(setting.held(held.functions()), setting.value);
  }
  // Out of range: refused by the camera, nothing changes.
  EXPECT_EQ(code([&](auto done) { camera->setAngle(75, done); }), kResultInvalidValue);
  EXPECT_EQ(held.functions().angle, 90);

  EXPECT_NE(held.savedFunctions(), held.functions());
  EXPECT_EQ(code([&](auto done) { camera->saveUVC(done); }), 0);
  EXPECT_EQ(held.savedFunctions(), held.functions());
}

TEST_F(CameraContract, UnplugAndReplugAreOneRemovalAndOneArrival) {
  const std::weak_ptr<USBDevice> before = device();
  const std::string oldKey = device()->key();
  delegate->events.clear();

  ASSERT_TRUE(backend->unplug());
  ASSERT_TRUE(waitUntil([&] { return manager->devices().empty(); }, bound));
  EXPECT_EQ(delegate->events, std::vector<std::string>{"-" + oldKey});
  EXPECT_TRUE(waitUntil([&] { return before.expired(); })) << "the old link is still held";

  ASSERT_TRUE(backend->plug());
  ASSERT_TRUE(waitUntil([&] { return !manager->devices().empty(); }, bound));
  settle();
  ASSERT_EQ(manager->devices().size(), 1u);
  EXPECT_EQ(device()->key(), backend->hidKey());
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"-" + oldKey, "+" + backend->hidKey()}));
  EXPECT_EQ(state(), 1);
}

TEST_F(CameraContract, AFirmwareTransferRestartsTheCameraWithTheNewVersionAndSavedSettings) {
  EXPECT_EQ(code([&](auto done) { device()->setAngle(90, done); }), 0);
  EXPECT_EQ(code([&](auto done) { device()->saveUVC(done); }), 0);
  EXPECT_EQ(code([&](auto done) { device()->setHMirror(true, done); }), 0);
  const std::weak_ptr<USBDevice> before = device();
  const std::string oldKey = device()->key();
  delegate->events.clear();

  EXPECT_EQ(code([&](auto done) { device()->startUpgrade(image({1, 2, 9}), done); }), 0);
  ASSERT_TRUE(comesBack(before));
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"-" + oldKey, "+" + backend->hidKey()}));
  EXPECT_EQ(version(), "1.2.9");
  EXPECT_EQ(state(), 1);
  EXPECT_EQ(get<std::int64_t>([&](auto done) { device()->getAngle(done); }).value, 90);
  EXPECT_FALSE(get<bool>([&](auto done) { device()->getHMirror(done); }).value);
}

TEST_F(CameraContract, AFailedTransferLeavesTheCameraFailedUntilAGoodImageRepairsIt) {
  for (const bool cutOff : {true, false}) {
    SCOPED_TRACE(cutOff ? "camera lost mid-transfer" : "damaged image");
    const Text oldVersion = version();
    std::weak_ptr<USBDevice> before = device();
    if (cutOff) {
      SimFaults faults;
      faults.detachAfterPacket = 2;
      backend->camera().setFaults(faults);
      auto called = std::make_shared<bool>(false);
      device()->startUpgrade(image({2, 0, 0}), [called](std::int64_t) { *called = true; });
      ASSERT_TRUE(comesBack(before));
      settle();
      EXPECT_FALSE(*called) << "a camera that left gives the transfer no outcome";
      backend->camera().setFaults({});
    } else {
      QByteArray damaged = image({9, 9, 9});
      damaged[100] = static_cast<char>(damaged[100] ^ 4);
      EXPECT_EQ(code([&](auto done) { device()->startUpgrade(damaged, done); }),
                kResultImageRejected);
      settle();
      EXPECT_EQ(device(), before.lock()) << "no restart";
    }
    EXPECT_EQ(state(), 2);
    EXPECT_EQ(version(), oldVersion);

    before = device();
    EXPECT_EQ(code([&](auto done) { device()->startUpgrade(image({2, 0, 1}), done); }), 0);
    ASSERT_TRUE(comesBack(before));
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(version(), "2.0.1");
  }
}

TEST_F(CameraContract, RefusalsAndSilenceReachTheCompletionsAsTheCameraAnswers) {
  SimFaults faults;
  faults.errorCodes[kCmdGetAngle] = 0x1234;
  faults.errorCodes[kCmdSetHMirror] = 9;
  faults.errorCodes[kCmdGetVersion] = 7;
  faults.noReply.insert(kCmdGetState);
  faults.otherProgramCaptures4K = true;
  backend->camera().setFaults(faults);
  const auto camera = device();
  auto silent = std::make_shared<Answer<std::int64_t>>();
  camera->getState([silent](std::int64_t c, std::int64_t v) { *silent = {c, v, 1}; });

  const auto angle = get<std::int64_t>([&](auto done) { camera->getAngle(done); });
  EXPECT_EQ(angle.code, 0x1234);
  EXPECT_EQ(angle.value, 0);
  EXPECT_EQ(code([&](auto done) { camera->setHMirror(true, done); }), 9);
  EXPECT_FALSE(backend->camera().functions().hMirror) << "a refused command changes nothing";
  const auto refused = get<Text>([&](auto done) { camera->getVersion(done); });
  EXPECT_EQ(refused.code, 7);
  EXPECT_FALSE(refused.value.has_value());
  EXPECT_FALSE(camera->version().has_value());
  EXPECT_TRUE(get<bool>([&](auto done) { camera->getCaptureInfo(done); }).value);
  // Later replies came, so the state request was handled and left unanswered.
  EXPECT_FALSE(silent->arrived());
  EXPECT_EQ(camera->state(), 0);
}

// A handle fails while its camera is unplugged; a new one works once it is back.
TEST_F(CameraContract, ImageControlsSetReachTheCameraAndReadBackWhileItIsPluggedIn) {
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
                           Control{kUvcContrast, &U::setContrast, &U::getContrast, 178},
                           Control{kUvcSaturation, &U::setSaturation, &U::getSaturation, 100},
                           Control{kUvcSharpness, &U::setSharpness, &U::getSharpness, 150}}) {
    SCOPED_TRACE(c.info.selector);
    EXPECT_TRUE((byIds.*c.set)(c.value));
    EXPECT_TRUE(backend->uvcWasSet(c.info, c.value));
    EXPECT_EQ((byIds.*c.get)(), c.value);
    EXPECT_EQ((byLocation.*c.get)(), c.value);
  }

  ASSERT_TRUE(backend->unplug());
  EXPECT_FALSE(byIds.setContrast(130));
  EXPECT_EQ(byIds.getContrast(), 0);
  EXPECT_FALSE(U::withVendorProduct(kVendorId, kProductId, backend->uvc()).hasInterface());
  ASSERT_TRUE(backend->plug());
  U fresh = U::withVendorProduct(kVendorId, kProductId, backend->uvc());
  EXPECT_TRUE(fresh.setContrast(131));
  EXPECT_TRUE(backend->uvcWasSet(kUvcContrast, 131));
  EXPECT_EQ(fresh.getContrast(), 131);
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
    expectDecodes(sample, format.width, format.height);
  }
}

TEST_F(CameraContract, ThePreviewStreamsMjpeg1080UntilUnpluggedAndARetryFindsTheCameraAgain) {
  const auto camera = captureDevice();
  ASSERT_TRUE(camera);
  ASSERT_EQ(start(*camera), std::nullopt);
  ASSERT_TRUE(framesArrive(2));
  EXPECT_EQ(capturer->format()->pixelFormat, video::kFourccMjpeg);
  const video::VideoSample sample = collector->samples.items().back();
  EXPECT_EQ(sample.pixelFormat, video::kFourccMjpeg);
  expectDecodes(sample, 1920, 1080);

  ASSERT_TRUE(backend->unplug());
  ASSERT_TRUE(waitUntil([&] { return collector->errors.size() > 0; }, bound));
  EXPECT_NE(collector->errors.items().front().code, 0);
  EXPECT_FALSE(capturer->isCameraing());
  capturer->stopCapture();  // stopping a capture that ended on its own is harmless
  EXPECT_FALSE(captureDevice()) << "a camera that is gone is still listed";

  ASSERT_TRUE(backend->plug());
  std::optional<CaptureDevice> again;
  ASSERT_TRUE(waitUntil([&] { return (again = captureDevice()).has_value(); }, bound));
  EXPECT_EQ(again->uniqueId, camera->uniqueId);
  ASSERT_EQ(start(*again), std::nullopt);
  EXPECT_TRUE(framesArrive(2));
  capturer->stopCapture();
  EXPECT_FALSE(capturer->isCameraing());
  EXPECT_EQ(collector->errors.size(), 1u);
}

}  // namespace
}  // namespace vexhal::sim::test
