// The program in the demo set-up: every screen's controls take the clicks aimed at them, and
// becoming active asks for the capture information only with the control screen on top.
#include <QWindow>
#include <QToolButton>

#include "../ScreenTestSupport.h"
#include "CameraCommand.h"
#include "VirtualCameraRig.h"
#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QNavigationController.h"
#include "common/QSegmentedControl.h"
#include "section/about/QAboutVC.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/camera_list/QCameraSupportedVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::settle;
using test::waitUntil;

// The demo, started once: the process-wide camera manager takes its camera for good.
DemoSession& demo() {
  static DemoSession* const session = [] {
    auto* started = new DemoSession;
    QString error, notice;
    EXPECT_TRUE(started->start(&error, &notice));
    return started;
  }();
  return *session;
}

// The program launched on the demo up to the camera list showing the camera connected.
struct ActivationTest : ::testing::Test {
  ActivationTest() {
    demo().platform().setScheduler(scheduler.function<QObject>());
    camera = &demo().rig().camera();
    EXPECT_TRUE(camera->isAttached());
    camera->setFaults({});
    delegate.applicationDidFinishLaunching();
    scheduler.tasks->at(0).run();
    window = delegate.window();
    rootVC = qobject_cast<QRootVC*>(
        qobject_cast<QNavigationController*>(delegate.window()->contentViewController())
            ->rootViewController());
    navVC = rootVC->navVC();
    list = qobject_cast<QCameraListVC*>(navVC->rootViewController());
    EXPECT_TRUE(waitUntil(
        [&] { return list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1; }));
    settle();
  }
  QCameraControlVC* openControl() {
    list->cameraBtnAction(list->cameraArr().front());
    QCameraControlVC* screen = nullptr;
    EXPECT_TRUE(waitUntil([&] {
      screen = qobject_cast<QCameraControlVC*>(navVC->topViewController());
      return screen != nullptr && screen->functionControlVC()->model().isLoaded() &&
             screen->framesRendered() > 0;
    }));
    settle();
    return screen;
  }

  test::RecordingScheduler scheduler;
  AppDelegate delegate{demo().platform()};
  sim::VirtualCamera* camera = nullptr;
  QWidget* window = nullptr;
  QRootVC* rootVC = nullptr;
  QNavigationController* navVC = nullptr;
  QCameraListVC* list = nullptr;
};

// The visible buttons, switches and selectors under `root` that a click at their centre on
// `window` would not reach, comma-separated.
std::string coveredControls(QWidget* window, QWidget* root) {
  QList<QWidget*> controls;
  for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) controls << button;
  for (QSegmentedControl* segment : root->findChildren<QSegmentedControl*>()) controls << segment;
  QStringList covered;
  for (QWidget* control : controls) {
    const QPoint centre = control->rect().center();
    if (!control->isVisible() || !control->visibleRegion().contains(centre)) continue;
    QWidget* hit = window->childAt(control->mapTo(window, centre));
    while (hit != nullptr && hit != control) hit = hit->parentWidget();
    if (hit == nullptr) {
      const auto* button = qobject_cast<QAbstractButton*>(control);
      covered << QStringLiteral("%1 %2 '%3'")
                     .arg(QString::fromLatin1(control->metaObject()->className()),
                          control->objectName(), button ? button->text() : QString());
    }
  }
  return covered.join(QStringLiteral(", ")).toStdString();
}

// Through every screen of the demo: each visible control is what lies at its centre, and Back on
// the control screen, clicked where it shows, leaves the screen. Becoming active asks the camera
// for its capture information only with the control screen on top.
TEST_F(ActivationTest, EveryScreenTakesClicksOnItsControls) {
  const std::uint64_t before = camera->reportsReceived();
  delegate.applicationDidBecomeActive();
  settle();
  EXPECT_EQ(camera->reportsReceived(), before);
  EXPECT_EQ(coveredControls(window, window), "") << "camera list";
  list->supportBtnAction();
  QPointer sheet = window->findChild<QCameraSupportedVC*>();
  ASSERT_TRUE(sheet);
  settle();
  EXPECT_EQ(coveredControls(window, sheet), "") << "supported devices";
  sheet->closeBtnAction();
  ASSERT_TRUE(waitUntil([&] { return sheet.isNull() || !sheet->isVisible(); }));

  QPointer<QCameraControlVC> screen = openControl();
  ASSERT_TRUE(screen);
  EXPECT_EQ(coveredControls(window, window), "") << "function page";
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "image page";
  camera->setFaults(test::capturedIn4K());
  const std::uint64_t opened = camera->reportsReceived();
  delegate.applicationDidBecomeActive();
  ASSERT_TRUE(waitUntil([&] { return screen->functionControlVC()->model().is4KCapturing(); }));
  EXPECT_GT(camera->reportsReceived(), opened);
  EXPECT_EQ(camera->lastReply()->head.cmd.get(), sim::kCmdGetCaptureInfo);
  camera->setFaults({});
  QTest::mouseClick(screen->cameraDetailBtn(), Qt::LeftButton);
  auto* info = qobject_cast<QCameraInfoVC*>(navVC->topViewController());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->device(), list->cameraArr().front());
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "camera info";
  info->backBtnAction();
  ASSERT_EQ(navVC->topViewController(), screen.data());
  settle();

  QToolButton* back = screen->backBtn();
  // Through the window system, so Qt picks the widget under the pointer as for a person.
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                    back->mapTo(window, back->rect().center()));
  EXPECT_TRUE(waitUntil([&] { return navVC->topViewController() == list; }));
  rootVC->aboutMenuAction();
  auto* about = qobject_cast<QAboutVC*>(navVC->topViewController());
  ASSERT_NE(about, nullptr);
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "about";
  about->clicked();
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "service settings";
}

}  // namespace
}  // namespace vexhal
