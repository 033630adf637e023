// Saves pictures of every screen as a person sees it: the program as `vexhaltools --demo` runs
// it, in a real window, driven through the screens' own actions. Run it under a display with a
// window manager (scripts/screenshots.sh does that); it writes DIR/*.png.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <cstdio>
#include <functional>

#include "FirmwareImage.h"
#include "UpdateService.h"
#include "VirtualCameraRig.h"
#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QAlertController.h"
#include "common/QNavigationController.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "section/about/QAboutVC.h"
#include "section/about/QDiagnosticsSaveDialog.h"
#include "section/about/QDiagnosticsSupport.h"
#include "diagnostics/DiagnosticsExport.h"
#include <ostrane/ostrane.h>
#include "section/about/QServiceVC.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_control/QFurtherControlsSection.h"
#include "section/camera_control/QPresetMenu.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "section/camera_info/QUpgradeLoadingView.h"
#include "section/camera_info/QUpgradeVC.h"
#include "platform/QCameraAccess.h"
#include "section/camera_list/QCameraAccessHelp.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/camera_list/QCameraSupportedVC.h"
#include "section/root/QRootVC.h"

namespace {

using namespace vexhal;

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 20000); }

void pickItem(QSegmentedControl* segment, int index) {
  QTest::mouseClick(segment->findChildren<QAbstractButton*>().at(index), Qt::LeftButton);
}

// Release notes longer than the update sheet shows at once.
QString longNotes(const QString& version) {
  QString notes = QStringLiteral("Firmware %1 brings these changes:\n").arg(version);
  const char* lines[] = {
      "Smoother auto framing when several people enter the room at once",
      "Faster start-up after an update, and after the camera is plugged in",
      "The people box follows a speaker who walks to the whiteboard",
      "Less noise in dim rooms at the high pick-up range",
      "Sharper picture at 60° field of view",
      "Fixed: the mirror setting was lost after the camera slept",
      "Fixed: a rare pause in the picture when two programs asked for it",
  };
  for (int round = 0; round < 3; ++round) {
    for (const char* line : lines)
      notes += QStringLiteral("- ") + QString::fromUtf8(line) + QLatin1Char('\n');
  }
  return notes.trimmed();
}

// The demo's service offers the next firmware with long release notes.
void offerUpdateWithLongNotes(DemoSession& demo) {
  sim::UpdateService* service = demo.updateService();
  if (service == nullptr) return;
  const sim::FirmwareVersion current = demo.rig().camera().firmwareVersion();
  const sim::FirmwareVersion next{current.major, static_cast<std::uint8_t>(current.minor + 1), 0};
  const QString nextText = QString::fromStdString(next.text());
  const QString path = QStringLiteral("/packages/firmware-notes-%1.bin").arg(nextText);
  // Large enough that the installation overlay stays up for a picture.
  const QByteArray package = sim::buildFirmwareImage(next, QByteArray(1024 * 1024, '\x5a'));
  service->addPackage(path, package);
  service->setAnswer(QStringLiteral("VX-K31D"), QString::fromStdString(current.text()),
                     sim::UpdateService::offer(nextText, service->url(path, false),
                                               longNotes(nextText), package, false));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: vexhal-screenshots DIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  AppDelegate::configureApplication();
  DemoSession demo;
  QString error;
  QString notice;
  if (!demo.start(&error, &notice)) {
    std::fprintf(stderr, "demo: %s\n", qPrintable(error));
    return 1;
  }
  offerUpdateWithLongNotes(demo);
  // The menu's and the about screen's diagnostics entries, as the program has them.
  const auto logs = ostrane::ddLog().getLogger<ostrane::QFileLogger>();
  diagnostics::DiagnosticsExport diagnostics(USBHidManager::shared(), demo.platform(), logs);
  QDiagnosticsSupport support(
      diagnostics, demo.platform(),
      logs ? QString::fromStdString(logs->getLogConfig()->cacheDir()) : QString());
  AppDelegate delegate(demo.platform(), &support);
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  QRootVC* rootVC = nullptr;
  QNavigationController* navVC = nullptr;
  QCameraListVC* list = nullptr;
  const bool listed = waitFor([&] {
    auto* outer = qobject_cast<QNavigationController*>(window->contentViewController());
    rootVC = outer ? qobject_cast<QRootVC*>(outer->rootViewController()) : nullptr;
    navVC = rootVC ? rootVC->navVC() : nullptr;
    list = navVC ? qobject_cast<QCameraListVC*>(navVC->rootViewController()) : nullptr;
    return list != nullptr && list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1;
  });
  if (!listed) {
    std::fprintf(stderr, "the virtual camera was not listed\n");
    return 1;
  }
  int saved = 0;
  int wanted = 0;
  // The window with its frame, and any sheet that reaches beyond it.
  const auto shoot = [&](const char* name, int settleMs = 600) {
    ++wanted;
    QTest::qWait(settleMs);  // a few frames, and everything redrawn after a change
    QRect area = window->frameGeometry();
    for (QWindow* top : QGuiApplication::topLevelWindows()) {
      if (top->isVisible()) area |= top->frameGeometry();
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0).copy(area);
    if (shot.save(out.filePath(QString::fromLatin1(name) + QStringLiteral(".png")))) {
      ++saved;
    } else {
      std::fprintf(stderr, "could not save %s\n", name);
    }
  };
  const auto fail = [](const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
  };

  shoot("list");
  list->supportBtnAction();
  auto* sheet = window->findChild<QCameraSupportedVC*>();
  if (sheet == nullptr) return fail("the supported-devices sheet did not open");
  shoot("supported_devices");
  sheet->closeBtnAction();
  QTest::qWait(600);
  QCameraAccessHelp::show(list, std::nullopt, QCameraAccess::system(demo.platform()));
  auto* help = window->findChild<QMessageBox*>(QStringLiteral("cameraAccessHelp"));
  if (help == nullptr) return fail("the device-access help did not open");
  shoot("device_access_help");
  help->close();
  QTest::qWait(300);

  list->cameraBtnAction(list->cameraArr().front());
  QCameraControlVC* screen = nullptr;
  if (!waitFor([&] {
        screen = qobject_cast<QCameraControlVC*>(navVC->topViewController());
        return screen != nullptr && screen->framesRendered() > 10 &&
               screen->functionControlVC()->model().isLoaded();
      })) {
    return fail("the control screen showed no preview");
  }
  shoot("control_function_page");
  // Another program capturing 4K: the notice shows when the program becomes active.
  sim::SimFaults faults;
  faults.otherProgramCaptures4K = true;
  demo.rig().camera().setFaults(faults);
  delegate.applicationDidBecomeActive();
  if (!waitFor([&] { return screen->functionControlVC()->model().is4KCapturing(); })) {
    return fail("the 4K notice did not come");
  }
  shoot("notice_4k", 300);
  demo.rig().camera().setFaults({});
  delegate.applicationDidBecomeActive();
  QTest::qWait(2500);  // the notice hides itself

  // The angle can be chosen once intelligent framing is off.
  QTest::mouseClick(screen->functionControlVC()->intelligentSwitch(), Qt::LeftButton);
  QTest::qWait(300);
  pickItem(screen->functionControlVC()->angleSegment(), 1);
  QTest::mouseClick(screen->segregatorBtn(), Qt::LeftButton);
  shoot("control_function_page_angle90_guide");
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  shoot("control_image_page");
  pickItem(screen->imageControlVC()->imageModeSegment(), 1);
  shoot("control_image_page_bright");
  // A saved preset, then the menu open with it.
  QPresetQuestions answers;
  answers.name = [](QWidget*, const QString&, const QString&, QPresetQuestions::Answer answer) {
    answer(QStringLiteral("Meeting room"));
  };
  screen->presetMenu()->setQuestions(answers);
  screen->presetMenu()->saveAsAction();
  QTest::qWait(2500);  // the toast hides itself
  QTest::mouseClick(screen->imageControlVC()->presetsBtn(), Qt::LeftButton);
  if (!waitFor([] { return QApplication::activePopupWidget() != nullptr; })) {
    return fail("the preset menu did not open");
  }
  shoot("control_image_page_presets_menu", 300);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  QTest::qWait(300);
  QTest::mouseClick(screen->imageControlVC()->moreSection()->header(), Qt::LeftButton);
  shoot("control_image_page_more");
  for (const auto& [action, name] : {std::pair<void (QCameraControlVC::*)(), const char*>{
                                         &QCameraControlVC::saveBtnAction, "dialog_save"},
                                     {&QCameraControlVC::resetBtnAction, "dialog_reset"},
                                     {&QCameraControlVC::backBtnAction, "dialog_unsaved"}}) {
    (screen->*action)();
    shoot(name);
    for (QAlertController* alert : screen->presentedAlerts()) alert->dismissController();
  }
  screen->saveParams();
  shoot("toast_saved");
  QTest::qWait(2000);

  // The smallest window the program allows.
  const QSize normal = window->size();
  window->resize(window->minimumSize());
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kFunctionTab), Qt::LeftButton);
  shoot("control_function_page_smallest_window");
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  shoot("control_image_page_more_smallest_window");
  window->resize(normal);

  screen->cameraDetailBtnAction();
  auto* info = qobject_cast<QCameraInfoVC*>(navVC->topViewController());
  if (info == nullptr) return fail("the camera info screen did not open");
  shoot("camera_info");
  QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);
  if (!waitFor([&] { return info->updateVC() != nullptr && info->updateVC()->isVisible(); })) {
    return fail("the update sheet did not open");
  }
  shoot("update_sheet_long_notes");
  QTest::mouseClick(info->updateVC()->upgradeBtn(), Qt::LeftButton);
  if (!waitFor(
          [&] { return info->loadingView() != nullptr && info->loadingView()->isVisible(); })) {
    return fail("the installation overlay did not show");
  }
  shoot("installation_overlay", 200);
  // The camera restarts with the new firmware and the screens go back to the list.
  if (!waitFor([&] { return navVC->topViewController() == list; })) {
    return fail("the installation did not finish");
  }
  shoot("list_after_update", 300);
  QTest::qWait(2500);

  QTest::mouseClick(rootVC->moreBtn(), Qt::LeftButton);
  if (!waitFor([] { return QApplication::activePopupWidget() != nullptr; })) {
    return fail("the menu did not open");
  }
  shoot("menu", 300);
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  QTest::qWait(300);

  rootVC->aboutMenuAction();
  auto* about = qobject_cast<QAboutVC*>(navVC->topViewController());
  if (about == nullptr) return fail("the about screen did not open");
  shoot("about");
  auto* exportBtn = about->findChild<QAbstractButton*>(QStringLiteral("exportBtn"));
  if (exportBtn == nullptr) return fail("the about screen has no export button");
  QTest::mouseClick(exportBtn, Qt::LeftButton);
  QDiagnosticsSaveDialog* saveDialog = nullptr;
  if (!waitFor(
          [&] { return (saveDialog = about->window()->findChild<QDiagnosticsSaveDialog*>()); })) {
    return fail("the diagnostics dialog did not open");
  }
  shoot("diagnostics_save_dialog");
  saveDialog->reject();
  QTest::qWait(300);
  about->clicked();
  auto* service = qobject_cast<QServiceVC*>(navVC->topViewController());
  if (service == nullptr) return fail("the service settings did not open");
  shoot("service_settings");
  service->addressTF()->selectAll();
  QTest::keyClicks(service->addressTF(), QStringLiteral("http://updates.example.com"));
  shoot("service_settings_invalid_address");

  std::printf("%d pictures in %s\n", saved, qPrintable(out.absolutePath()));
  return saved == wanted ? 0 : 1;
}
