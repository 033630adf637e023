// The image page on the virtual camera's UVC controls: what loading corrects, and what reaches
// the camera (recorded on the wire) when the user picks a mode or moves a slider.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <utility>
#include <vector>

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

// Passes every request on to the camera and notes the values set.
class RecordingTransport : public UVCTransport {
 public:
  RecordingTransport(std::unique_ptr<UVCTransport> inner, Sent& sent)
      : inner_(std::move(inner)), sent_(sent) {}
  int controlRequest(UVCControlRequest& request) override {
    if (request.bRequest == kUvcSetCur) {
      const UVCControlInfo control{request.wIndex >> 8, request.wValue >> 8, request.wLength};
      sent_.emplace_back(control, sim::readLittleEndian(request.pData, request.wLength));
    }
    return inner_->controlRequest(request);
  }

 private:
  std::unique_ptr<UVCTransport> inner_;
  Sent& sent_;
};

class RecordingFactory : public UVCTransportFactory {
 public:
  RecordingFactory(std::shared_ptr<UVCTransportFactory> inner, Sent& sent, bool& available)
      : inner_(std::move(inner)), sent_(sent), available_(available) {}
  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override {
    auto transport = available_ ? inner_->openByLocation(locationId) : nullptr;
    return transport ? std::make_unique<RecordingTransport>(std::move(transport), sent_) : nullptr;
  }
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t, std::uint16_t) override {
    return nullptr;
  }

 private:
  std::shared_ptr<UVCTransportFactory> inner_;
  Sent& sent_;
  bool& available_;
};

struct ImagePage : ::testing::Test {
  ImagePage() {
    UVCTransportFactory::install(
        std::make_shared<RecordingFactory>(cam.rig.uvcTransportFactory(), sent, available));
  }
  ~ImagePage() override { UVCTransportFactory::install(nullptr); }

  // The camera's value as set by hand, unclamped.
  void setOnCamera(const UVCControlInfo& control, std::int64_t value) {
    UVCCameraControl(static_cast<std::uint32_t>(cam.camera().locationId()))
        .setData(value, control.size, control.selector, control.unit);
  }
  std::int64_t onCamera(const UVCControlInfo& control) {
    return cam.camera().uvcControls().value(control).value_or(-1);
  }
  void fetchSerialNumber() {
    bool done = false;
    cam.device->getSerialNumber([&](std::int64_t, const auto&) { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
  }
  void open() {
    page = std::make_unique<QCameraImageControlVC>(cam.device, QDataBase(store()));
    page->resize(420, 400);
    page->show();
  }
  QString store() const { return dir.filePath(QStringLiteral("settings.ini")); }
  void clickMode(int index) {
    QTest::mouseClick(page->imageModeSegment()->findChildren<QAbstractButton*>().at(index),
                      Qt::LeftButton);
  }

  QTemporaryDir dir;
  test::CameraOnManager cam;
  Sent sent;
  bool available = true;
  std::unique_ptr<QCameraImageControlVC> page;
};

TEST_F(ImagePage, BrightSendsBrightnessSaturationSharpnessButNoContrast) {
  const std::string reset = "CameraControl, resetParams(mode:brightness:contrast:saturation:sharpness:)";
  open();
  sent.clear();
  const std::size_t resets = test::countLogged(reset);
  clickMode(1);
  EXPECT_EQ(test::countLogged(reset), resets + 1);
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 138}, {kUvcSaturation, 130}, {kUvcSharpness, 120}}));
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
  EXPECT_EQ(onCamera(kUvcSaturation), 130);
  EXPECT_EQ(page->slider(Control::brightness)->value(), 60);
  EXPECT_EQ(page->label(Control::sharpness)->text(), QStringLiteral("42%"));
  EXPECT_TRUE(test::logged("CameraControl, SegmentBlock, 1"));
}

TEST_F(ImagePage, OutOfRangeValuesAreCorrectedOnTheCameraAtLoad) {
  setOnCamera(kUvcBrightness, 60);
  setOnCamera(kUvcSharpness, 250);
  sent.clear();
  open();
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 78}, {kUvcSharpness, 178}}));
  EXPECT_EQ(onCamera(kUvcBrightness), 78);
  EXPECT_EQ(page->slider(Control::brightness)->value(), 0);
  EXPECT_EQ(page->label(Control::brightness)->text(), QStringLiteral("0"));
  EXPECT_EQ(page->label(Control::sharpness)->text(), QStringLiteral("100%"));
}

TEST_F(ImagePage, TheStoredRecordIsLaidOverTheCamera) {
  fetchSerialNumber();
  ASSERT_TRUE(QDataBase(store()).setUVCParams({QUVCParams::ImageMode::vivid, 130, 128, 140, 120},
                                              QStringLiteral("VXK31D2612001")));
  sent.clear();
  open();
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 130}, {kUvcSaturation, 140}, {kUvcSharpness, 120}}));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 2);
  EXPECT_EQ(page->model().cameraParams()->mode, QUVCParams::ImageMode::vivid);
}

TEST_F(ImagePage, WithoutASerialNumberNothingStoredIsConsulted) {
  ASSERT_TRUE(QDataBase(store()).setUVCParams({QUVCParams::ImageMode::vivid, 130, 128, 140, 120},
                                              QStringLiteral("VXK31D2612001")));
  sent.clear();
  open();
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(*page->model().cameraParams(), QUVCParams::defaultParams());
}

TEST_F(ImagePage, DraggingFollowsTheLabelAndSendsOnlyOnRelease) {
  open();
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
  EXPECT_TRUE(sent.empty()) << "released where it started";
}

TEST_F(ImagePage, AKeyOnASliderSendsAtOnce) {
  open();
  sent.clear();
  QTest::keyClick(page->slider(Control::saturation), Qt::Key_Left);
  EXPECT_EQ(sent, (Sent{{kUvcSaturation, 127}}));
  EXPECT_EQ(page->label(Control::saturation)->text(), QStringLiteral("49%"));
}

TEST_F(ImagePage, RestoreAndResetPutValuesBackSaveStoresThem) {
  fetchSerialNumber();
  open();
  clickMode(2);
  page->restoreParams();
  EXPECT_EQ(onCamera(kUvcSaturation), 128);
  EXPECT_EQ(onCamera(kUvcBrightness), 128);

  clickMode(1);
  const std::optional<QString> serial = page->serialNumber();
  ASSERT_EQ(serial, QStringLiteral("VXK31D2612001"));
  ASSERT_TRUE(page->storeSettings(*serial));
  page->markSaved();
  EXPECT_FALSE(page->model().hasChanges());
  EXPECT_EQ(QDataBase(store()).getUVCParams(QStringLiteral("VXK31D2612001")),
            (QUVCParams{QUVCParams::ImageMode::bright, 138, 128, 130, 120}));
  sent.clear();
  page->resetParams(QUVCParams::ImageMode::standard, QUVCParams::defaultParams());
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 128}, {kUvcSaturation, 128}, {kUvcSharpness, 128}}));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 0);
  EXPECT_TRUE(page->model().hasChanges());
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
  EXPECT_FALSE(page->storeSettings(QStringLiteral("VXK31D2612001")));
  EXPECT_FALSE(QDataBase(store()).getUVCParams(QStringLiteral("VXK31D2612001")));

  available = true;
  ASSERT_TRUE(test::waitUntil([&] { return page->slider(Control::brightness)->isEnabled(); }));
  clickMode(1);
  EXPECT_EQ(sent, (Sent{{kUvcBrightness, 138}, {kUvcSaturation, 130}, {kUvcSharpness, 120}}));
}

}  // namespace
}  // namespace vexhal
