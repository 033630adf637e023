// The image page on the virtual camera's UVC controls: what reaches the camera when the user
// picks a mode or moves a slider, and the stored record laid over the camera.
#include <QComboBox>
#include <QSlider>
#include <QToolButton>

#include <linux/videodev2.h>

#include "../ScreenTestSupport.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "device/uvc/UVCControlInfo.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_control/QFurtherControlsSection.h"
#include "section/camera_control/QVideoControlRow.h"

namespace vexhal {
namespace {

using Control = QUVCSetting::Control;
using P = QUVCParams;
const QString kSerial = QStringLiteral("VXK31D2612001");

// The mode and the four values, without the further controls.
P four(P params) {
  params.further.clear();
  return params;
}

struct ImagePage : ::testing::Test {
  std::int64_t onCamera(const UVCControlInfo& control) {
    return cam.first.uvcControls().value(control).value_or(-1);
  }
  void fetchSerialNumber() {
    bool done = false;
    cam.device->getSerialNumber([&](std::int64_t, const auto&) { done = true; });
    ASSERT_TRUE(test::waitUntil([&] { return done; }));
  }
  void open(UVCTransportFactory& factory) {
    page = std::make_unique<QCameraImageControlVC>(cam.device, factory, QDataBase(store));
    page->resize(420, 400);
    page->show();
  }
  void open() { open(*cam.uvc); }
  void clickMode(int index) {
    QTest::mouseClick(page->imageModeSegment()->findChildren<QAbstractButton*>().at(index),
                      Qt::LeftButton);
  }

  QTemporaryDir dir;
  QString store = dir.filePath(QStringLiteral("settings.ini"));
  test::Cameras cam;
  sim::SimUvcTransportFactory late;  // without the camera until a test adds it
  std::unique_ptr<QCameraImageControlVC> page;
};

TEST_F(ImagePage, ModesAndSlidersReachTheCamera) {
  open();
  clickMode(1);
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
  EXPECT_EQ(onCamera(kUvcSharpness), 120);
  EXPECT_EQ(page->slider(Control::brightness)->value(), 60);
  EXPECT_EQ(page->label(Control::sharpness)->text(), QStringLiteral("42%"));
  EXPECT_TRUE(test::logged("CameraControl, SegmentBlock, 1"));

  // Dragging follows the label and sends only on release; a key sends at once.
  QSlider* slider = page->slider(Control::brightness);
  slider->setSliderDown(true);
  slider->setSliderPosition(70);
  EXPECT_EQ(page->label(Control::brightness)->text(), QStringLiteral("70%"));
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 3) << "Custom before the release";
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
  slider->setSliderDown(false);
  EXPECT_EQ(onCamera(kUvcBrightness), 148);
  QTest::keyClick(page->slider(Control::saturation), Qt::Key_Left);
  EXPECT_EQ(onCamera(kUvcSaturation), 129);
  EXPECT_EQ(page->label(Control::saturation)->text(), QStringLiteral("51%"));
}

// With the settings keeper holding the camera, the page's own changes stay; once the page is
// gone the keeper holds the stored record again and undoes another program's change.
TEST_F(ImagePage, TheKeeperLeavesThePagesChangesAndReturnsToTheRecordWhenItGoes) {
  ASSERT_TRUE(QDataBase(store).setUVCParams({P::ImageMode::custom, 150, 120, 110, 100}, kSerial));
  fetchSerialNumber();
  const auto location = static_cast<std::uint32_t>(cam.first.locationId());
  QSettingsKeeper keeper(*cam.uvc, test::immediateScheduler(), QDataBase(store));
  keeper.cameraArrived(location, cam.first.serialNumber());
  page = std::make_unique<QCameraImageControlVC>(cam.device, *cam.uvc, QDataBase(store), nullptr,
                                                 &keeper);
  clickMode(1);
  test::settle();
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
  page.reset();
  UVCCameraControl(location, *cam.uvc).setBrightness(90);
  EXPECT_TRUE(test::waitUntil([&] { return onCamera(kUvcBrightness) == 150; }));
}

// The keep switch can be used once a record is saved, and is then on. A click acts at once:
// stored, and the keeper leaves another program's change alone until it is clicked on again.
TEST_F(ImagePage, TheKeepSwitchIsStoredAndFollowedByTheKeeperAtOnce) {
  fetchSerialNumber();
  open();
  EXPECT_FALSE(page->keepSwitch()->isEnabled());
  ASSERT_TRUE(page->storeSettings(kSerial));
  page->markSaved();
  EXPECT_TRUE(page->keepSwitch()->isChecked());
  const auto location = static_cast<std::uint32_t>(cam.first.locationId());
  QSettingsKeeper keeper(*cam.uvc, test::immediateScheduler(), QDataBase(store));
  keeper.cameraArrived(location, cam.first.serialNumber());
  page = std::make_unique<QCameraImageControlVC>(cam.device, *cam.uvc, QDataBase(store), nullptr,
                                                 &keeper);
  QTest::mouseClick(page->keepSwitch(), Qt::LeftButton);
  EXPECT_FALSE(QDataBase(store).keepsImageSettings(kSerial));
  EXPECT_TRUE(test::logged("CameraControl, keepSwitchAction(), 0"));
  UVCCameraControl(location, *cam.uvc).setBrightness(90);
  test::settle();
  EXPECT_EQ(onCamera(kUvcBrightness), 90);
  QTest::mouseClick(page->keepSwitch(), Qt::LeftButton);
  UVCCameraControl(location, *cam.uvc).setBrightness(95);
  EXPECT_TRUE(test::waitUntil([&] { return onCamera(kUvcBrightness) == 128; }));
}

// The record stored under the camera's serial number is laid over the camera, not before the
// serial number is known; Save stores the values and makes them the baseline Reset leaves.
TEST_F(ImagePage, TheStoredRecordIsLaidOverTheCameraAndSaveReplacesIt) {
  ASSERT_TRUE(QDataBase(store).setUVCParams({P::ImageMode::vivid, 130, 128, 140, 120}, kSerial));
  open();
  EXPECT_EQ(four(*page->model().cameraParams()), P::defaultParams());
  EXPECT_EQ(onCamera(kUvcSaturation), 128);
  fetchSerialNumber();
  open();
  EXPECT_EQ(onCamera(kUvcSaturation), 140);
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 2);
  clickMode(1);
  ASSERT_EQ(page->serialNumber(), kSerial);
  ASSERT_TRUE(page->storeSettings(kSerial));
  page->markSaved();
  EXPECT_FALSE(page->model().hasChanges());
  EXPECT_EQ(four(*QDataBase(store).getUVCParams(kSerial)),
            (P{P::ImageMode::bright, 138, 128, 130, 120}));
  page->resetParams(P::ImageMode::standard, P::defaultParams());
  EXPECT_EQ(onCamera(kUvcBrightness), 128);
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 0);
  page->restoreParams();
  EXPECT_EQ(onCamera(kUvcBrightness), 138) << "the saved values are the baseline now";
}

// The page waits, disabled and unchanged, until the camera's video-control channel appears.
TEST_F(ImagePage, WithoutAVideoControlChannelThePageIsDisabledUntilItAppears) {
  open(late);
  EXPECT_FALSE(page->model().isLoaded());
  EXPECT_FALSE(page->slider(Control::brightness)->isEnabled());
  page->restoreParams();
  EXPECT_FALSE(page->storeSettings(kSerial));
  EXPECT_FALSE(QDataBase(store).getUVCParams(kSerial));
  late.addCamera(cam.first);
  ASSERT_TRUE(test::waitUntil([&] { return page->slider(Control::brightness)->isEnabled(); }));
  clickMode(1);
  EXPECT_EQ(onCamera(kUvcBrightness), 138);
}

// "More" lists every further control of the camera, closed at first. A key, a click or a choice
// reaches the camera at once; an automatic mode switched off frees what it owns; a change made
// elsewhere shows; the changes count as unsaved and restoring puts them back.
TEST_F(ImagePage, TheMoreSectionListsTheFurtherControlsAndSendsWhatThePersonChanges) {
  const auto value = [&](std::uint32_t id) {
    std::int64_t v = -1;
    cam.first.getVideoControl(id, v);
    return v;
  };
  open();
  QFurtherControlsSection* more = page->moreSection();
  ASSERT_TRUE(more->isVisible());
  EXPECT_FALSE(more->isOpen());
  QTest::mouseClick(more->header(), Qt::LeftButton);
  ASSERT_TRUE(more->isOpen());
  EXPECT_EQ(more->row(V4L2_CID_BRIGHTNESS), nullptr) << "the four keep their sliders";
  QVideoControlRow* gain = more->row(V4L2_CID_GAIN);
  QVideoControlRow* whiteBalance = more->row(V4L2_CID_AUTO_WHITE_BALANCE);
  QVideoControlRow* temperature = more->row(V4L2_CID_WHITE_BALANCE_TEMPERATURE);
  QVideoControlRow* lineFrequency = more->row(V4L2_CID_POWER_LINE_FREQUENCY);
  ASSERT_TRUE(gain && whiteBalance && temperature && lineFrequency);
  ASSERT_TRUE(gain->slider() && whiteBalance->toggle() && lineFrequency->selector());
  EXPECT_FALSE(temperature->slider()->isEnabled());
  EXPECT_EQ(temperature->reasonLabel()->text(), QStringLiteral("Set by White Balance, Automatic"));
  EXPECT_EQ(more->row(V4L2_CID_EXPOSURE_ABSOLUTE)->reasonLabel()->text(),
            QStringLiteral("Set by Auto Exposure"));

  QTest::keyClick(gain->slider(), Qt::Key_PageUp);
  EXPECT_EQ(value(V4L2_CID_GAIN), 10);
  EXPECT_EQ(gain->valueLabel()->text(), QStringLiteral("10"));
  QTest::mouseClick(whiteBalance->toggle(), Qt::LeftButton);
  EXPECT_EQ(value(V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_TRUE(temperature->slider()->isEnabled());
  EXPECT_TRUE(temperature->reasonLabel()->isHidden());
  QTest::keyClick(lineFrequency->selector(), Qt::Key_Down);
  EXPECT_EQ(value(V4L2_CID_POWER_LINE_FREQUENCY), 2);
  EXPECT_TRUE(page->model().hasChanges());
  EXPECT_EQ(page->imageModeSegment()->selectedIndex(), 0) << "not an image mode's business";

  cam.first.setVideoControl(V4L2_CID_GAIN, 70);
  EXPECT_TRUE(test::waitUntil([&] { return gain->valueLabel()->text() == QStringLiteral("70"); }));
  page->restoreParams();
  EXPECT_EQ(value(V4L2_CID_AUTO_WHITE_BALANCE), 1);
  EXPECT_EQ(value(V4L2_CID_POWER_LINE_FREQUENCY), 1);
  EXPECT_EQ(value(V4L2_CID_GAIN), 0);
}

}  // namespace
}  // namespace vexhal
