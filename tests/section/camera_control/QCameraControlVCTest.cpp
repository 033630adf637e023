// The camera control screen on the virtual camera under the real HID link, UVC controls and
// capture backend: leaving with and without saving, removal, the preview and the tabs.
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "../ScreenTestSupport.h"
#include "CameraCommand.h"
#include "common/QNavigationController.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "device/uvc/UVCCameraControl.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "video/preview/QVideoRenderView.h"

namespace vexhal {
namespace {

using test::choose;
using test::settle;
using test::waitUntil;

struct ControlScreen : ::testing::Test {
  ~ControlScreen() override {
    delete nav;
    test::processDeferredDeletes();
  }

  void open() {
    nav = new QNavigationController(new QViewController("ListStandIn"));
    nav->resize(900, 600);
    nav->show();
    screen = new QCameraControlVC(cam.device, cam.platform, cam.manager, QDataBase(settings));
    nav->push(screen, false);
    ASSERT_TRUE(waitUntil([&] {
      return screen->functionControlVC()->model().isLoaded() &&
             screen->imageControlVC()->model().isLoaded();
    }));
  }
  bool onList() {
    test::processDeferredDeletes();
    return nav->viewControllers().size() == 1 && screen.isNull();
  }
  QAlertController* onlyAlert() {
    const auto alerts = screen->presentedAlerts();
    return alerts.size() == 1 ? alerts.front() : nullptr;
  }
  std::int64_t brightness() {
    return cam.camera().uvcControls().value(kUvcBrightness).value_or(-1);
  }

  QTemporaryDir dir;
  QString settings = dir.filePath(QStringLiteral("settings.ini"));
  test::CameraOnManager cam;
  QNavigationController* nav = nullptr;
  QPointer<QCameraControlVC> screen;
};

struct SaveCase {
  const char* name;
  std::uint32_t saveCode;
  bool storeWorks;
  const char* toast;
  bool backPopsAtOnce;
};

class SaveThenBack : public ControlScreen, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveThenBack, PopsAtOnceOnlyWhenCameraAndComputerSaved) {
  if (!GetParam().storeWorks) {
    QFile notADirectory(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(notADirectory.open(QIODevice::WriteOnly));
    settings = dir.filePath(QStringLiteral("blocked/settings.ini"));
  }
  if (GetParam().saveCode != 0) {
    cam.camera().setFaults(test::failing(sim::kCmdSave, GetParam().saveCode));
  }
  open();
  QTest::mouseClick(screen->functionControlVC()->hMirrorSwitch(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return cam.camera().functions().hMirror; }));
  screen->saveBtnAction();
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Save the settings\uFF1F"));
  choose(onlyAlert(), QStringLiteral("Confirm"));
  ASSERT_TRUE(waitUntil(
      [&] { return test::toastText(nav->window()) == QString::fromUtf8(GetParam().toast); }));
  EXPECT_EQ(cam.camera().savedFunctions().hMirror, GetParam().saveCode == 0);
  // The image settings are stored on this computer whatever the camera answered.
  EXPECT_EQ(QDataBase(settings)
                .getUVCParams(QString::fromStdString(cam.camera().serialNumber()))
                .has_value(),
            GetParam().storeWorks);
  screen->backBtnAction();
  ASSERT_EQ(onList(), GetParam().backPopsAtOnce);
  if (GetParam().backPopsAtOnce) {
    EXPECT_TRUE(test::logged("CameraControl, backBtnAction(_:), true"));
  } else {
    EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Settings unsaved. Exit?"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SaveThenBack,
    ::testing::Values(SaveCase{"Saved", 0, true, "Successfully saved", true},
                      SaveCase{"Failed", 7, true, "Save failed,please try it again", false},
                      SaveCase{"NotStored", 0, false, "Save failed,please try it again", false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ControlScreen, ResetThenBackAsksAndExitPutsTheBaselineBack) {
  cam.device->setAngle(90, [](std::int64_t) {});
  cam.device->setHMirror(true, [](std::int64_t) {});
  UVCCameraControl(static_cast<std::uint32_t>(cam.camera().locationId()),
                   cam.platform.uvcTransportFactory())
      .setBrightness(150);
  ASSERT_TRUE(waitUntil([&] { return cam.camera().functions().hMirror; }));
  open();
  const sim::CameraFunctions baseline = cam.camera().functions();
  screen->resetBtnAction();
  EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Reset parameters?"));
  choose(onlyAlert(), QStringLiteral("Confirm"));
  ASSERT_TRUE(waitUntil([&] { return !cam.camera().functions().hMirror; }));
  EXPECT_EQ(cam.camera().functions().angle, 120);
  EXPECT_EQ(brightness(), 128);

  screen->backBtnAction();
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_EQ(onlyAlert()->alertTitle(), QStringLiteral("Notice"));
  EXPECT_TRUE(onlyAlert()->isShowCloseBtn());
  EXPECT_TRUE(test::logged("CameraControl, backBtnAction(_:), false"));
  choose(onlyAlert(), QStringLiteral("Exit"));
  EXPECT_TRUE(onList());
  ASSERT_TRUE(waitUntil([&] { return cam.camera().functions() == baseline; }));
  EXPECT_EQ(brightness(), 150);
}

struct RemovalCase {
  const char* name;
  bool ownCamera, upgrading, backToList;
};

class Removal : public ControlScreen, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(Removal, ReturnsToTheListOnlyForItsOwnCameraOutsideAnUpgrade) {
  open();
  screen->saveBtnAction();  // a dialog that the removal must take down with the screen
  cam.platform.setFirmwareInstalling(GetParam().upgrading);
  if (GetParam().ownCamera) {
    cam.camera().unplug();
    ASSERT_TRUE(waitUntil([&] { return cam.manager.devices().empty(); }));
  } else {
    test::CameraOnManager other(test::identity("VXK31D2612009", 0x03152000));
    ASSERT_NE(other.device, nullptr);
    screen->usbHidManagerDidRemoveDevice(other.device);
  }
  settle();
  EXPECT_EQ(onList(), GetParam().backToList);
  if (!GetParam().backToList) {
    EXPECT_NE(onlyAlert(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Removal,
                         ::testing::Values(RemovalCase{"Own", true, false, true},
                                           RemovalCase{"Other", false, false, false},
                                           RemovalCase{"OwnDuringUpgrade", true, true, false}),
                         [](const auto& test) { return std::string(test.param.name); });

// The preview session's wiring (its rules are tested on the session): a busy camera is explained
// over the preview, which starts once the camera is free, stops under another screen and starts
// again when the screen is back on top.
TEST_F(ControlScreen, ThePreviewExplainsABusyCameraAndRunsWhileTheScreenIsOnTop) {
  cam.camera().setFaults(test::capturedIn4K());
  open();
  ASSERT_TRUE(waitUntil([&] { return screen->previewNotice()->isVisible(); }));
  EXPECT_EQ(screen->previewNotice()->text(),
            QStringLiteral("The camera is in use by another program."));
  cam.camera().setFaults({});
  ASSERT_TRUE(waitUntil([&] { return screen->framesRendered() > 0; }));
  EXPECT_FALSE(screen->previewNotice()->isVisible());
  nav->push(new QViewController("InfoStandIn"), false);
  EXPECT_FALSE(screen->isCapturing());
  nav->pop(false);
  ASSERT_TRUE(waitUntil([&] { return screen->isCapturing(); }));
}

TEST_F(ControlScreen, ShowsTheCameraTabsAndDetails) {
  open();
  EXPECT_EQ(screen->titleLabel()->text().toStdString(), cam.device->name());
  EXPECT_EQ(screen->titleLabel()->textFormat(), Qt::PlainText);  // the camera's text, never markup
  EXPECT_EQ(screen->selectedTab(), QCameraControlVC::kFunctionTab);
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  EXPECT_EQ(screen->selectedTab(), QCameraControlVC::kImageTab);
  // Details open the info screen for the same camera, above the control screen.
  QTest::mouseClick(screen->cameraDetailBtn(), Qt::LeftButton);
  ASSERT_EQ(nav->viewControllers().size(), 3);
  EXPECT_EQ(nav->viewControllers().at(1), screen.data());
  auto* info = qobject_cast<QCameraInfoVC*>(nav->topViewController());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->device(), cam.device);
}

class ControlScreenSize : public ControlScreen, public ::testing::WithParamInterface<QSize> {};

// The whole 16:9 picture shows beside the whole panel, and the function page scrolls no further
// than its rows reach.
TEST_P(ControlScreenSize, ThePreviewHasThePictureShapeAndThePageNoBlankTail) {
  open();
  nav->resize(GetParam());
  settle();
  const QRect preview(screen->preView()->mapTo(screen, QPoint()), screen->preView()->size());
  const auto* panel = screen->findChild<QWidget*>(QStringLiteral("settingsPanel"));
  EXPECT_NEAR(preview.width(), preview.height() * 16.0 / 9.0, 2.0);
  EXPECT_LE(preview.right(), panel->mapTo(screen, QPoint()).x());
  EXPECT_GE(panel->width(), 400);
  QCameraFunctionControlVC* page = screen->functionControlVC();
  const QWidget* lastRow = page->pickupSegment()->parentWidget();
  const int rows = lastRow->mapTo(page->scrollArea()->widget(), QPoint(0, lastRow->height())).y();
  QScrollBar* bar = page->scrollArea()->verticalScrollBar();
  EXPECT_EQ(bar->maximum(), std::max(0, rows - page->scrollArea()->viewport()->height()));
  if (bar->isVisible() && bar->maximum() >= bar->pageStep() / 2) {
    // Scrolled to the top, the thumb (at most 2/3 of the bar) is the part that stands out.
    const QImage image = bar->grab().toImage();
    const auto grey = [&](double at) {
      return qGray(image.pixel(image.width() / 2, int(image.height() * at)));
    };
    EXPECT_LT(grey(0.3), grey(0.9));
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, ControlScreenSize,
                         ::testing::Values(QSize(760, 360), QSize(760, 480), QSize(900, 600),
                                           QSize(1600, 700)),
                         [](const auto& row) {
                           return std::to_string(row.param.width()) + "x" +
                                  std::to_string(row.param.height());
                         });

}  // namespace
}  // namespace vexhal
