// Saves pictures of the camera control screen as a person sees it: the program as
// `vexhaltools --demo` runs it, in a real window, driven through the screen's own actions.
// Run under a display (xvfb-run -a control_screen_shots DIR); it writes DIR/*.png.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>

#include <cstdio>
#include <functional>

#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QAlertController.h"
#include "common/QNavigationController.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace {

using namespace vexhal;

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 20000); }

void pickItem(QSegmentedControl* segment, int index) {
  QTest::mouseClick(segment->findChildren<QAbstractButton*>().at(index), Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: control_screen_shots DIR\n");
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
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  QNavigationController* navVC = nullptr;
  QCameraListVC* list = nullptr;
  const bool listed = waitFor([&] {
    auto* outer = qobject_cast<QNavigationController*>(window->contentViewController());
    auto* root = outer ? qobject_cast<QRootVC*>(outer->rootViewController()) : nullptr;
    navVC = root ? root->navVC() : nullptr;
    list = navVC ? qobject_cast<QCameraListVC*>(navVC->rootViewController()) : nullptr;
    return list != nullptr && list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1;
  });
  if (!listed) {
    std::fprintf(stderr, "the virtual camera was not listed\n");
    return 1;
  }
  list->cameraBtnAction(list->cameraArr().front());
  QCameraControlVC* screen = nullptr;
  if (!waitFor([&] {
        screen = qobject_cast<QCameraControlVC*>(navVC->topViewController());
        return screen != nullptr && screen->framesRendered() > 10 &&
               screen->functionControlVC()->model().isLoaded();
      })) {
    std::fprintf(stderr, "the control screen showed no preview\n");
    return 1;
  }
  int saved = 0;
  const auto shoot = [&](const char* name) {
    QTest::qWait(600);  // a few frames, and the picture loop redrawn after a change
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0).copy(window->frameGeometry());
    if (shot.save(out.filePath(QString::fromLatin1(name) + QStringLiteral(".png")))) {
      ++saved;
    }
  };

  shoot("control_function_page");
  // The angle can be chosen once intelligent framing is off.
  QTest::mouseClick(screen->functionControlVC()->intelligentSwitch(), Qt::LeftButton);
  QTest::qWait(300);
  pickItem(screen->functionControlVC()->angleSegment(), 1);
  QTest::mouseClick(screen->segregatorBtn(), Qt::LeftButton);
  shoot("control_function_page_angle90_guide");
  screen->tabBtnAction(QCameraControlVC::kImageTab);
  shoot("control_image_page");
  pickItem(screen->imageControlVC()->imageModeSegment(), 1);
  shoot("control_image_page_bright");
  for (const auto& [action, name] :
       {std::pair<void (QCameraControlVC::*)(), const char*>{&QCameraControlVC::saveBtnAction, "dialog_save"},
        {&QCameraControlVC::resetBtnAction, "dialog_reset"},
        {&QCameraControlVC::backBtnAction, "dialog_unsaved"}}) {
    (screen->*action)();
    shoot(name);
    for (QAlertController* alert : screen->presentedAlerts()) alert->dismissController();
  }
  screen->saveParams();
  shoot("toast_saved");
  std::printf("%d pictures in %s\n", saved, qPrintable(out.absolutePath()));
  return saved == 8 ? 0 : 1;
}
