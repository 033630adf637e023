// The camera control screen on the virtual camera under the real HID link, UVC controls and
// capture backend: leaving with and without saving, removal, the preview and the layout.
#include <QFile>
#include <QMenu>
#include <QScopeGuard>
#include <QSlider>

#include <linux/videodev2.h>

#include "../ScreenTestSupport.h"
#include "CameraCommand.h"
#include "common/QNavigationController.h"
#include "common/QSwitch.h"
#include "device/uvc/UVCCameraControl.h"
#include "platform/QCameraAccessSystem.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_control/QFurtherControlsSection.h"
#include "section/camera_control/QPresetMenu.h"
#include "section/camera_control/QVideoControlRow.h"
#include "common/Menu.h"
#include "common/QSegmentedControl.h"
#include "preset/QPresetFile.h"
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

  void open(QSettingsKeeper* keeper = nullptr) { open(cam, settings, keeper); }
  void open(test::Cameras& on, const QString& settingsFile, QSettingsKeeper* keeper = nullptr) {
    delete nav;
    nav = new QNavigationController(new QViewController("ListStandIn"));
    nav->resize(900, 600);
    nav->show();
    screen = new QCameraControlVC(on.device, on.platform, on.manager, QDataBase(settingsFile),
                                  nullptr, keeper);
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
  std::int64_t brightness() { return cam.first.uvcControls().value(kUvcBrightness).value_or(-1); }

  QTemporaryDir dir;
  QString settings = dir.filePath(QStringLiteral("settings.ini"));
  test::Cameras cam;
  QNavigationController* nav = nullptr;
  QPointer<QCameraControlVC> screen;
};

struct SaveCase {
  const char* name;
  std::uint32_t saveCode;  // the camera's answer to saving
  bool storeWorks;         // whether this computer's settings file can be written
};

class SaveThenBack : public ControlScreen, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveThenBack, PopsAtOnceOnlyWhenCameraAndComputerSaved) {
  if (!GetParam().storeWorks) {
    QFile notADirectory(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(notADirectory.open(QIODevice::WriteOnly));
    settings = dir.filePath(QStringLiteral("blocked/settings.ini"));
  }
  if (GetParam().saveCode != 0) {
    cam.first.setFaults(test::failing(sim::kCmdSave, GetParam().saveCode));
  }
  const bool saved = GetParam().saveCode == 0 && GetParam().storeWorks;
  open();
  QTest::mouseClick(screen->functionControlVC()->hMirrorSwitch(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return cam.first.functions().hMirror; }));
  screen->saveBtnAction();
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Save the settings\uFF1F"));
  choose(onlyAlert(), QStringLiteral("Confirm"));
  ASSERT_TRUE(waitUntil([&] {
    return test::toastText(nav->window()) ==
           (saved ? QStringLiteral("Successfully saved")
                  : QStringLiteral("Save failed,please try it again"));
  }));
  EXPECT_EQ(cam.first.savedFunctions().hMirror, GetParam().saveCode == 0);
  // The image settings are stored on this computer whatever the camera answered.
  EXPECT_EQ(QDataBase(settings)
                .getUVCParams(QString::fromStdString(cam.first.serialNumber()))
                .has_value(),
            GetParam().storeWorks);
  screen->backBtnAction();
  ASSERT_EQ(onList(), saved);
  if (saved) {
    EXPECT_TRUE(test::logged("CameraControl, backBtnAction(_:), true"));
  } else {
    EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Settings unsaved. Exit?"));
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, SaveThenBack,
                         ::testing::Values(SaveCase{"Saved", 0, true}, SaveCase{"Failed", 7, true},
                                           SaveCase{"NotStored", 0, false}),
                         [](const auto& test) { return std::string(test.param.name); });

// "Save and Exit" before the serial number is known: the screen is gone before the record is
// stored, and the keeper still holds the camera at the saved values from then on.
TEST_F(ControlScreen, SaveAndExitBeforeTheSerialNumberIsKnownIsKeptByTheKeeper) {
  const auto location = static_cast<std::uint32_t>(cam.first.locationId());
  QSettingsKeeper keeper(cam.platform.uvcTransportFactory(), test::immediateScheduler(),
                         QDataBase(settings));
  keeper.cameraArrived(location, cam.first.serialNumber());
  ASSERT_FALSE(cam.device->serialNumber().has_value());
  open(&keeper);
  QWidget* slider = screen->imageControlVC()->slider(QImageControlModel::Control::brightness);
  QTest::keyClick(slider, Qt::Key_Right);
  const std::int64_t saved = brightness();
  screen->backBtnAction();
  ASSERT_NE(onlyAlert(), nullptr);
  choose(onlyAlert(), QStringLiteral("Save and Exit"));
  ASSERT_TRUE(waitUntil([&] {
    return QDataBase(settings)
        .getUVCParams(QString::fromStdString(cam.first.serialNumber()))
        .has_value();
  }));
  UVCCameraControl(location, cam.platform.uvcTransportFactory()).setBrightness(90);
  EXPECT_TRUE(waitUntil([&] { return brightness() == saved; }));
}

TEST_F(ControlScreen, ResetThenBackAsksAndExitPutsTheBaselineBack) {
  cam.device->setAngle(90, [](std::int64_t) {});
  cam.device->setHMirror(true, [](std::int64_t) {});
  UVCCameraControl(static_cast<std::uint32_t>(cam.first.locationId()),
                   cam.platform.uvcTransportFactory())
      .setBrightness(150);
  ASSERT_TRUE(waitUntil([&] { return cam.first.functions().hMirror; }));
  open();
  const sim::CameraFunctions baseline = cam.first.functions();
  screen->resetBtnAction();
  EXPECT_EQ(onlyAlert()->alertMessage(), QStringLiteral("Reset parameters?"));
  choose(onlyAlert(), QStringLiteral("Confirm"));
  ASSERT_TRUE(waitUntil([&] { return !cam.first.functions().hMirror; }));
  EXPECT_EQ(cam.first.functions().angle, 120);
  EXPECT_EQ(brightness(), 128);

  screen->backBtnAction();
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_TRUE(test::logged("CameraControl, backBtnAction(_:), false"));
  choose(onlyAlert(), QStringLiteral("Exit"));
  EXPECT_TRUE(onList());
  ASSERT_TRUE(waitUntil([&] { return cam.first.functions() == baseline; }));
  EXPECT_EQ(brightness(), 150);
}

// Only its own camera leaving outside a firmware installation takes the screen, and the dialog
// on it, back to the list.
TEST_F(ControlScreen, OnlyItsOwnCameraLeavingOutsideAnInstallationReturnsToTheList) {
  open();
  screen->saveBtnAction();
  cam.plug(cam.second);
  cam.second.unplug();
  cam.platform.setFirmwareInstalling(true);
  cam.first.unplug();
  ASSERT_TRUE(waitUntil([&] { return cam.manager.devices().empty(); }));
  settle();
  EXPECT_FALSE(onList());
  EXPECT_NE(onlyAlert(), nullptr);
  cam.platform.setFirmwareInstalling(false);
  cam.plug(cam.first);
  cam.first.unplug();
  EXPECT_TRUE(waitUntil([&] { return onList(); }));
}

// The title, and the preview (its rules are the session's): a busy camera is explained with the
// program that holds its video device; it runs once the camera is free and while the screen is
// on top.
TEST_F(ControlScreen, ThePreviewNamesTheProgramHoldingTheCameraAndRunsWhileTheScreenIsOnTop) {
  auto system = std::make_shared<QCameraAccessSystem>();
  system->root = dir.path();
  const QString video = dir.path() + "/virtual:" + QString::fromStdString(cam.first.serialNumber());
  system->nodeHolder = [video](const QString& path) {
    return path == video ? std::optional(NodeHolder{4242, QStringLiteral("cheese"), false})
                         : std::nullopt;
  };
  cam.platform.setAccessSystem(system);
  cam.first.setFaults(test::capturedIn4K());
  open();
  EXPECT_EQ(screen->titleLabel()->text().toStdString(), cam.device->name());
  EXPECT_EQ(screen->titleLabel()->textFormat(), Qt::PlainText);  // the camera's text, never markup
  ASSERT_TRUE(waitUntil([&] { return screen->previewNotice()->isVisible(); }));
  EXPECT_EQ(screen->previewNotice()->text(),
            QStringLiteral("The camera is in use by cheese (process 4242)."));
  cam.first.setFaults({});
  ASSERT_TRUE(waitUntil([&] { return screen->framesRendered() > 0; }));
  EXPECT_FALSE(screen->previewNotice()->isVisible());
  nav->push(new QViewController("InfoStandIn"), false);
  EXPECT_FALSE(screen->isCapturing());
  nav->pop(false);
  ASSERT_TRUE(waitUntil([&] { return screen->isCapturing(); }));
}

// The preset menu, opened by its button and chosen from at the entries' places.
void choosePresetEntry(QCameraControlVC* screen, const QString& title) {
  QTest::mouseClick(screen->imageControlVC()->presetsBtn(), Qt::LeftButton);
  QMenu* menu = screen->presetMenu()->menu()->popup();
  ASSERT_NE(menu, nullptr);
  for (QAction* entry : menu->actions()) {
    if (entry->text() == title) {
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
      test::settle();
      return;
    }
  }
  FAIL() << "no entry " << title.toStdString();
}

// A preset saved on one camera and exported goes to a camera of the same model whose gain range
// is twice as wide: imported, it says what will be scaled; applied, the functions and every
// image control reach the camera, the mode is Custom and the changes are unsaved. A damaged
// file is refused with the file's reason.
TEST_F(ControlScreen, APresetExportedFromOneCameraAppliesToAnotherWithItsRanges) {
  sim::VirtualCameraIdentity ranged;
  ranged.controlRanges = {{V4L2_CID_GAIN, 0, 200, 0}};
  test::Cameras wide(true, ranged);
  // The screen opened on `wide` watches its controls, so it goes before the camera does.
  const auto closeScreen = qScopeGuard([this] {
    delete nav;
    nav = nullptr;
    test::processDeferredDeletes();
  });
  const QString file = dir.filePath(QStringLiteral("room"));
  QPresetQuestions answers;
  answers.name = [](QWidget*, const QString&, const QString&, QPresetQuestions::Answer answer) {
    answer(QStringLiteral("Room A"));
  };
  answers.saveFile = [&](QWidget*, const QString&, QPresetQuestions::Answer answer) {
    answer(file);
  };
  answers.openFile = [&](QWidget*, QPresetQuestions::Answer answer) {
    answer(file + QString::fromLatin1(QPresetFile::kSuffix));
  };

  open();
  screen->presetMenu()->setQuestions(answers);
  QTest::mouseClick(screen->functionControlVC()->hMirrorSwitch(), Qt::LeftButton);
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  QTest::keyClick(screen->imageControlVC()->moreSection()->row(V4L2_CID_GAIN)->slider(),
                  Qt::Key_PageUp);
  choosePresetEntry(screen, QStringLiteral("Save as Preset…"));
  choosePresetEntry(screen, QStringLiteral("Export Presets…"));
  ASSERT_TRUE(QFile::exists(file + QString::fromLatin1(QPresetFile::kSuffix)));

  open(wide, dir.filePath(QStringLiteral("other.ini")));
  screen->presetMenu()->setQuestions(answers);
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  choosePresetEntry(screen, QStringLiteral("Import Presets…"));
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_TRUE(onlyAlert()->alertMessage()->contains(QStringLiteral("gain: 10 was scaled to 20")));
  choose(onlyAlert(), QStringLiteral("OK"));
  choosePresetEntry(screen, QStringLiteral("Room A"));
  std::int64_t gain = -1;
  wide.first.getVideoControl(V4L2_CID_GAIN, gain);
  EXPECT_EQ(gain, 20);
  EXPECT_TRUE(waitUntil([&] { return wide.first.functions().hMirror; }));
  EXPECT_EQ(screen->imageControlVC()->imageModeSegment()->selectedIndex(), 3);
  EXPECT_TRUE(screen->hasUnsavedChanges());
  ASSERT_NE(onlyAlert(), nullptr);
  choose(onlyAlert(), QStringLiteral("OK"));

  QFile damaged(file + QString::fromLatin1(QPresetFile::kSuffix));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
  damaged.write("{\"version\": 1, \"presets\": [");
  damaged.close();
  choosePresetEntry(screen, QStringLiteral("Import Presets…"));
  ASSERT_NE(onlyAlert(), nullptr);
  EXPECT_EQ(onlyAlert()->alertTitle(), QStringLiteral("Presets not imported"));
  EXPECT_FALSE(onlyAlert()->alertMessage().value_or(QString()).isEmpty());
}

}  // namespace
}  // namespace vexhal
