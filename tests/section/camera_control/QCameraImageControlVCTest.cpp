// The image page on the virtual camera's UVC controls: what reaches the camera (recorded on the
// wire) when the user picks a mode or moves a slider, and the stored record laid over the camera.
#include <QSlider>

#include "../ScreenTestSupport.h"
#include "UvcControlStore.h"
#include "common/QSegmentedControl.h"
#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/UVCTransportFactory.h"
#include "section/camera_control/QCameraImageControlVC.h"

namespace vexhal {
namespace {

using Control = QUVCSetting::Control;
using Sent = std::vector<std::pair<UVCControlInfo, std::int64_t>>;
using P = QUVCParams;
const QString kSerial = QStringLiteral("VXK31D2612001");

// Passes every request on to the camera and notes the values set.
struct RecordingTransport : UVCTransport {
  RecordingTransport(std::unique_ptr<UVCTransport> from, Sent& to)
      : inner(std::move(from)), sent(to) {}
  int controlRequest(UVCControlRequest& request) override {
    if (request.bRequest == kUvcSetCur) {
      const UVCControlInfo control{request.wIndex >> 8, request.wValue >> 8, request.wLength};
      sent.emplace_back(control, sim::readLittleEndian(request.pData, request.wLength));
    }
    return inner->controlRequest(request);
  }
  std::unique_ptr<UVCTransport> inner;
  Sent& sent;
};

// Opens recording transports while `available`, none otherwise.
struct RecordingFactory : UVCTransportFactory {
  RecordingFactory(std::shared_ptr<UVCTransportFactory> from, Sent& to, bool& open)
      : inner(std::move(from)), sent(to), available(open) {}
  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override {
    auto transport = available ? inner->openByLocation(locationId) : nullptr;
    return transport ? std::make_unique<RecordingTransport>(std::move(transport), sent) : nullptr;
  }
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t, std::uint16_t) override {
    return nullptr;
  }
  std::shared_ptr<UVCTransportFactory> inner;
  Sent& sent;
  bool& available;
};

struct ImagePage : ::testing::Test {
  std::int64_t onCamera(const UVCControlInfo& control) {
    return cam.camera().uvcControls().value(control).value_or(-1);
  }
  void fetchSerialNumber() {
    bool done = false;
    cam.device->getSerialNumber([&](std::int64_t, const auto&) { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
  }
  void open() {
    page = std::make_unique<QCameraImageControlVC>(cam.device, factory, QDataBase(store));
    page->resize(420, 400);
    page->show();
  }
  void clickMode(int index) {
    QTest::mouseClick(page->imageModeSegment()->findChildren<QAbstractButton*>().at(index),
                      Qt::LeftButton);
  }

  QTemporaryDir dir;
  QString store = dir.filePath(QStringLiteral("settings.ini"));
  test::CameraOnManager cam;
  Sent sent;
  bool available = true;
  RecordingFactory factory{cam.rig.uvcTransportFactory(), sent, available};
  std::unique_ptr<QCameraImageControlVC> page;
};

TEST_F(ImagePage, ModesAndSlidersReachTheCamera) {
  open();
  sent.clear();
  clickMode(1);
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 138}, {kUvcSaturation, 130}, {kUvcSharpness, 120}}));
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
  EXPECT_EQ(page->slider(Control::brightness)->value(), 60);
  EXPECT_EQ(page->label(Control::sharpness)->text(), QStringLiteral("42%"));
  EXPECT_TRUE(test::logged("CameraControl, SegmentBlock, 1"));
  EXPECT_TRUE(
      test::logged("CameraControl, resetParams(mode:brightness:contrast:saturation:sharpness:)"));

  // Dragging follows the label and sends only on release, nothing when released where it started.
  sent.clear();
  QSlider* slider = page->slider(Control::brightness);
  slider->setSliderDown(true);
  slider->setSliderPosition(70);
  EXPECT_EQ(page->label(Control::brightness)->text(), QStringLiteral("70%"));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 3) << "Custom before the release";
  EXPECT_TRUE(sent.empty());
  slider->setSliderDown(false);
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 148}}));
  EXPECT_TRUE(test::logged("CameraControl, brightnessSliderAction(), 70"));
  sent.clear();
  slider->setSliderDown(true);
  slider->setSliderPosition(10);
  slider->setSliderPosition(70);
  slider->setSliderDown(false);
  EXPECT_TRUE(sent.empty());
  QTest::keyClick(page->slider(Control::saturation), Qt::Key_Left);  // a key sends at once
  EXPECT_EQ(sent, (Sent{{kUvcSaturation, 129}}));
  EXPECT_EQ(page->label(Control::saturation)->text(), QStringLiteral("51%"));
}

// The record stored under the camera's serial number is laid over the camera; without a known
// serial number nothing stored is consulted.
TEST_F(ImagePage, TheStoredRecordIsLaidOverTheCameraOnlyUnderItsSerialNumber) {
  ASSERT_TRUE(QDataBase(store).setUVCParams({P::ImageMode::vivid, 130, 128, 140, 120}, kSerial));
  open();
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(*page->model().cameraParams(), P::defaultParams());
  fetchSerialNumber();
  open();
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 130}, {kUvcSaturation, 140}, {kUvcSharpness, 120}}));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 2);
}

TEST_F(ImagePage, ResetPutsValuesBackAndSaveStoresThem) {
  fetchSerialNumber();
  open();
  clickMode(1);
  ASSERT_EQ(page->serialNumber(), kSerial);
  ASSERT_TRUE(page->storeSettings(kSerial));
  page->markSaved();
  EXPECT_FALSE(page->model().hasChanges());
  EXPECT_EQ(QDataBase(store).getUVCParams(kSerial), (P{P::ImageMode::bright, 138, 128, 130, 120}));
  sent.clear();
  page->resetParams(P::ImageMode::standard, P::defaultParams());
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 128}, {kUvcSaturation, 128}, {kUvcSharpness, 128}}));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 0);
  page->restoreParams();
  EXPECT_EQ(onCamera(kUvcBrightness), 138) << "the saved values are the baseline now";
}

// The page waits, disabled and unchanged, until the camera's video-control channel appears.
TEST_F(ImagePage, WithoutAVideoControlChannelThePageIsDisabledUntilItAppears) {
  available = false;
  open();
  EXPECT_FALSE(page->model().isLoaded());
  EXPECT_FALSE(page->slider(Control::brightness)->isEnabled());
  page->restoreParams();
  EXPECT_TRUE(sent.empty());
  EXPECT_FALSE(page->storeSettings(kSerial));
  EXPECT_FALSE(QDataBase(store).getUVCParams(kSerial));
  available = true;
  ASSERT_TRUE(test::waitUntil([&] { return page->slider(Control::brightness)->isEnabled(); }));
  clickMode(1);
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 138}, {kUvcSaturation, 130}, {kUvcSharpness, 120}}));
}

}  // namespace
}  // namespace vexhal
