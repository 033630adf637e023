// The virtual camera's own behaviour where the contract suite cannot reach it: requests no
// program sends, faults shown only in-process, its UVC store and its picture.
#include <QImage>

#include <cerrno>

#include "CameraCommand.h"
#include "CameraResultCode.h"
#include "FirmwareImage.h"
#include "Inbox.h"
#include "SimCaptureBackend.h"
#include "SimTestSupport.h"
#include "SimUvcTransportFactory.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/FrameDecoder.h"
#include "video/PixelFormat.h"
#include "video/QRTCCamera.h"

namespace vexhal::sim::test {
namespace {

hid_cmd_pack_t request(std::uint16_t cmd, std::uint8_t status = 0, std::uint16_t length = 0,
                       std::uint32_t packNum = 0, std::uint8_t byte = 0) {
  hid_cmd_pack_t pack = getPackage(cmd);
  pack.head.dataStatus = status;
  pack.head.dataLength.set(length);
  pack.head.packNum.set(packNum);
  pack.data[0] = byte;
  sealPacket(pack);
  return pack;
}

// The result code the camera answers `pack` with; nothing when it stays silent.
std::optional<std::uint32_t> answer(VirtualCamera& camera, const hid_cmd_pack_t& pack) {
  const auto reply = camera.respond(pack);
  return reply ? std::optional(reply->head.packNum.get()) : std::nullopt;
}

TEST(VirtualCamera, RefusesMalformedAndOutOfOrderRequestsWithTheirCodes) {
  VirtualCamera camera;
  camera.plug();
  hid_cmd_pack_t badChecksum = getPackage(kCmdGetState);
  badChecksum.head.crc.set(badChecksum.head.crc.get() ^ 1U);
  hid_cmd_pack_t otherProtocol = getPackage(kCmdGetState);
  otherProtocol.head.magic.set(0x1234);
  const std::vector<std::pair<hid_cmd_pack_t, std::optional<std::uint32_t>>> rows = {
      {badChecksum, kResultBadChecksum},
      {getPackage(0x5555), kResultUnknownCommand},
      {request(kCmdGetState, 0, 2000), kResultInvalidValue},  // longer than a report
      {getPackage(kCmdSetAngle), kResultInvalidValue},        // a setting without its value
      {otherProtocol, std::nullopt},
      {request(kCmdUpgradeData, kHidDataPresent, 1010, 1), kResultOutOfOrder},  // no start
      {getPackage(kCmdUpgradeFinish), kResultOutOfOrder},
      {getPackage(kCmdUpgradeStart), 0},
      {request(kCmdUpgradeData, kHidDataPresent, 1010, 2), kResultOutOfOrder},    // skips one
      {request(kCmdUpgradeData, kHidDataPresent, 1000, 1), kResultInvalidValue},  // short
      {request(kCmdUpgradeData, kHidLastPacket, 20, 1), 0},
      {request(kCmdUpgradeData, kHidLastPacket, 20, 2), kResultOutOfOrder},  // after the last
      {getPackage(kCmdUpgradeFinish), kResultImageRejected},                 // zeros, no image
      {getPackage(kCmdUpgradeFinish), kResultOutOfOrder}};                   // finished already
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(answer(camera, rows[i].first), rows[i].second) << "row " << i;
  }
  // Each setting refuses a byte it cannot hold, keeping its value.
  for (const FunctionCase& setting : functionCases()) {
    EXPECT_EQ(answer(camera, request(setting.setCommand, kHidDataPresent, 1, 0, setting.invalid)),
              kResultInvalidValue)
        << setting.name;
    EXPECT_EQ(setting.held(camera.functions()), setting.factory) << setting.name;
  }
  SimFaults faults;
  faults.garbage = {kCmdGetState};
  camera.setFaults(faults);
  const auto garbage = camera.respond(getPackage(kCmdGetState));
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->head.cmd.get(), kCmdGetState);
  EXPECT_NE(garbage->head.packNum.get(), 0u) << "garbage never reads as success";
}

TEST(VirtualCamera, ACameraOfOtherIdsIsNotReported) {
  VirtualCameraIdentity other;
  other.productId = 0x1234;
  CameraOnManager rig(other);
  settle();
  EXPECT_TRUE(rig.manager->devices().empty());
  EXPECT_TRUE(rig.delegate->events.empty());
}

TEST(VirtualCamera, SlowRepliesArriveInOrderAndNoneReachesTheNextAttachment) {
  CameraOnManager rig;
  const auto device = rig.device();
  SimFaults faults;
  faults.replyDelay = std::chrono::milliseconds(40);
  rig.camera.setFaults(faults);
  std::vector<std::string> order;
  device->setAngle(60, [&](std::int64_t c) { order.push_back("set " + std::to_string(c)); });
  device->getAngle([&](std::int64_t c, std::int64_t v) {
    order.push_back("get " + std::to_string(c) + " " + std::to_string(v));
  });
  ASSERT_TRUE(waitUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<std::string>{"set 0", "get 0 60"}));

  auto called = std::make_shared<bool>(false);
  device->getState([called](std::int64_t, std::int64_t) { *called = true; });
  ASSERT_TRUE(waitUntil([&] { return rig.camera.reportsReceived() == 3; }));
  rig.camera.unplug();
  rig.camera.setFaults({});
  rig.camera.plug();
  ASSERT_TRUE(rig.replaced(device));
  // The new attachment answers its own request, and nothing of the old one.
  EXPECT_TRUE(ask<std::int64_t>([&](auto done) { rig.device()->getState(done); }).arrived());
  waitUntil([] { return false; }, std::chrono::milliseconds(60));
  EXPECT_FALSE(*called);
  EXPECT_EQ(rig.camera.reportsReceived(), 4u);
}

TEST(VirtualCamera, ImagesOfEveryPacketCountArriveWholeAndANeverReturningCameraStaysAway) {
  // Sizes around packet boundaries: the last packet full, one byte over, one byte short.
  for (const int size : {1, 1010 - 16, 1010 - 15, 2 * 1010 - 16}) {
    CameraOnManager rig;
    const auto device = rig.device();
    const QByteArray image = buildFirmwareImage({3, 0, 1}, QByteArray(size, 'x'));
    EXPECT_EQ(askCode([&](auto done) { device->startUpgrade(image, done); }), 0) << size;
    ASSERT_TRUE(rig.replaced(device)) << size;
    EXPECT_EQ(rig.camera.firmwareVersion(), (FirmwareVersion{3, 0, 1})) << size;
  }
  CameraOnManager rig;
  SimFaults faults;
  faults.neverReturn = true;
  rig.camera.setFaults(faults);
  EXPECT_EQ(askCode([&](auto done) {
              rig.device()->startUpgrade(buildFirmwareImage({4, 0, 0}, QByteArray(9, 'x')), done);
            }),
            0);
  ASSERT_TRUE(waitUntil([&] { return rig.manager->devices().empty(); }));
  // Several restart delays later it is still away.
  waitUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_FALSE(rig.camera.isAttached());
  rig.camera.plug();
  EXPECT_EQ(
      ask<std::optional<std::string>>([&](auto done) { rig.device()->getVersion(done); }).value,
      "4.0.0");
}

TEST(VirtualCamera, UvcControlsKeepTheirRangesAndStallOnWhatTheCameraLacks) {
  CameraOnManager rig;
  SimUvcTransportFactory factory{{&rig.camera}};
  UVCCameraControl uvc(static_cast<std::uint32_t>(rig.camera.locationId()), factory);
  // The camera's own range is wider than the program's, and it reports it.
  for (const auto& [code, length, value] :
       std::vector<std::tuple<int, int, int>>{{kUvcGetMin, 2, 0},
                                              {kUvcGetMax, 2, 255},
                                              {kUvcGetDef, 2, 128},
                                              {kUvcGetLen, 2, 2},
                                              {kUvcGetInfo, 1, 3}}) {
    EXPECT_EQ(uvc.getDataFor(code, length, 3, 2), value) << code;
  }
  EXPECT_TRUE(uvc.getAutoExposure() && uvc.setAutoExposure(false));
  EXPECT_FALSE(uvc.getAutoExposure());
  EXPECT_TRUE(uvc.setExposureTime(333) && uvc.setGain(40) && uvc.setWhiteBalanceTemperature(5000));
  EXPECT_EQ(uvc.getExposureTime(), 333);
  EXPECT_EQ(uvc.getGain(), 40);
  EXPECT_FALSE(uvc.setWhiteBalanceTemperature(9000)) << "beyond the camera's range";
  EXPECT_EQ(uvc.getWhiteBalanceTemperature(), 5000);
  // The vendor unit's controls are the framing functions.
  EXPECT_TRUE(uvc.setFieldOfView(90) && uvc.setHorizontalMirror(true));
  EXPECT_EQ(rig.camera.functions().angle, 90);
  EXPECT_TRUE(rig.camera.functions().hMirror);
  EXPECT_FALSE(uvc.setFieldOfView(100));
  EXPECT_EQ(uvc.getFieldOfView(), 90);
  EXPECT_FALSE(uvc.setData(1, 2, 9, 2));    // no selector 9 on the processing unit
  EXPECT_FALSE(uvc.setData(1, 2, 2, 5));    // no unit 5
  EXPECT_FALSE(uvc.setData(100, 1, 2, 2));  // brightness is two bytes, not one
  std::uint8_t bytes[2] = {0x80, 0};
  UVCControlRequest toInterfaceOne{kUvcRequestTypeSet, kUvcSetCur, 2 << 8, (2 << 8) | 1, 2, bytes};
  EXPECT_EQ(rig.camera.uvcRequest(toInterfaceOne), EPIPE);
  UVCControlRequest wrongDirection{kUvcRequestTypeGet, kUvcSetCur, 2 << 8, 2 << 8, 2, bytes};
  EXPECT_EQ(rig.camera.uvcRequest(wrongDirection), EPIPE);
  EXPECT_FALSE(uvc.setGain(101));

  // Saved values are what the camera starts with after a restart.
  ASSERT_TRUE(uvc.setContrast(150));
  const auto device = rig.device();
  EXPECT_EQ(askCode([&](auto done) { device->saveUVC(done); }), 0);
  ASSERT_TRUE(uvc.setContrast(90));
  EXPECT_EQ(askCode([&](auto done) {
              device->startUpgrade(buildFirmwareImage({1, 0, 7}, QByteArray(10, 'a')), done);
            }),
            0);
  ASSERT_TRUE(rig.replaced(device));
  EXPECT_EQ(uvc.getContrast(), 150);
}

double meanLuma(const video::VideoSample& sample) {
  video::FrameDecoder decoder;
  QImage image;
  EXPECT_EQ(decoder.decode(sample, image), "");
  double sum = 0;
  for (int y = 0; y < image.height(); y += 4) {
    for (int x = 0; x < image.width(); x += 4) sum += qGray(image.pixel(x, y));
  }
  return sum / ((image.height() / 4.0) * (image.width() / 4.0));
}

TEST(VirtualCamera, ThePictureFollowsBrightnessAndWhatIsNotOfferedIsRefused) {
  ensureCoreApplication();
  VirtualCamera camera;
  camera.plug();
  auto backend = std::make_shared<SimCaptureBackend>(std::vector{&camera});
  const video::CaptureDevice device = SimCaptureBackend::deviceOf(camera);
  video::testing::Inbox<video::VideoSample> samples;
  video::QRTCCamera capture(backend);
  capture.setOutputBlock([&](const video::VideoSample& sample) { samples.push(sample); });
  capture.startCapture(device, {640, 480, video::kFourccMjpeg, {{30, 30}}}, 30, {});
  ASSERT_TRUE(waitUntil([&] { return samples.size() >= 1; }));
  const double before = meanLuma(samples.items().back());
  SimUvcTransportFactory factory({&camera});
  ASSERT_TRUE(UVCCameraControl(static_cast<std::uint32_t>(camera.locationId()), factory)
                  .setBrightness(178));
  // The loop is made again in the background; the stream switches to it when it is ready.
  EXPECT_TRUE(waitUntil([&] { return meanLuma(samples.items().back()) > before + 30; }));
  capture.stopCapture({});

  std::vector<int> codes;
  const auto record = [&](const auto& error) { codes.push_back(error ? error->code : 0); };
  const video::CaptureFormat yuyv1080{1920, 1080, video::kFourccYuyv, {{5, 5}}};
  backend->start(device, {800, 600, video::kFourccMjpeg, {{30, 30}}}, 30, {}, record);
  backend->start(device, yuyv1080, 30, {}, record);  // 5 fps only
  backend->start(video::CaptureDevice{"0x1", "other", "", "/dev/video9"}, yuyv1080, 5, {}, record);
  EXPECT_EQ(codes, (std::vector<int>{EINVAL, EINVAL, ENODEV}));
}

}  // namespace
}  // namespace vexhal::sim::test
