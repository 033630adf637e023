// The program becoming active, in the demo set-up: with the camera list on top nothing is
// asked; with a camera's control screen on top (opened from its row) its camera is asked for
// the capture information, and the answer reaches the function page. Every screen's controls
// take the clicks aimed at them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPointer>
#include <QTest>
#include <QWindow>
#include <QToolButton>

#include "CameraCommand.h"
#include "../ScreenTestSupport.h"
#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QNavigationController.h"
#include "common/QSegmentedControl.h"
#include "section/about/QAboutVC.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "section/camera_list/QCameraSupportedVC.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::settle;
using test::waitUntil;

// The demo, started once: the process-wide camera manager takes one virtual camera.
DemoSession& demoSession() {
  static auto* demo = new DemoSession;  // lives to the end of the process, as the manager does
  static const bool started = [] {
    QString error;
    QString notice;
    return demo->start(&error, &notice);
  }();
  EXPECT_TRUE(started);
  return *demo;
}

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
      covered << QStringLiteral("%1 %2 '%3'").arg(QString::fromLatin1(control->metaObject()->className()),
                                                 control->objectName(), button ? button->text() : QString());
    }
  }
  return covered.join(QStringLiteral(", ")).toStdString();
}

TEST(ActivationTest, AsksForCaptureInfoOnlyWithTheControlScreenOnTop) {
  DemoSession& demo = demoSession();
  ASSERT_TRUE(demo.rig().camera().isAttached());
  sim::VirtualCamera& camera = demo.rig().camera();
  test::RecordingScheduler scheduler;
  AppDelegate delegate(scheduler.function<QObject>());
  delegate.applicationDidFinishLaunching();
  delegate.applicationDidBecomeActive();  // the launch screen: nothing to ask
  scheduler.tasks->at(0).run();
  auto* outer = qobject_cast<QNavigationController*>(delegate.window()->contentViewController());
  QNavigationController* navVC = qobject_cast<QRootVC*>(outer->rootViewController())->navVC();
  auto* list = qobject_cast<QCameraListVC*>(navVC->rootViewController());
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1; }));
  settle();

  const std::uint64_t before = camera.reportsReceived();
  delegate.applicationDidBecomeActive();
  settle();
  EXPECT_EQ(camera.reportsReceived(), before);

  list->cameraBtnAction(list->cameraArr().front());
  QCameraControlVC* screen = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    screen = qobject_cast<QCameraControlVC*>(navVC->topViewController());
    return screen != nullptr && screen->functionControlVC()->model().isLoaded() && screen->framesRendered() > 0;
  }));
  settle();
  sim::SimFaults faults;
  faults.otherProgramCaptures4K = true;
  camera.setFaults(faults);
  const std::uint64_t opened = camera.reportsReceived();
  delegate.applicationDidBecomeActive();
  ASSERT_TRUE(waitUntil([&] { return screen->functionControlVC()->model().is4KCapturing(); }));
  EXPECT_GT(camera.reportsReceived(), opened);
  EXPECT_EQ(camera.lastReply()->head.cmd.get(), sim::kCmdGetCaptureInfo);
}

// Through every screen of the demo: each visible control is what lies at its centre, and Back on
// the control screen, clicked where it shows, leaves the screen.
TEST(ActivationTest, EveryScreenTakesClicksOnItsControls) {
  DemoSession& demo = demoSession();
  ASSERT_TRUE(demo.rig().camera().isAttached());
  demo.rig().camera().setFaults({});
  test::RecordingScheduler scheduler;
  AppDelegate delegate(scheduler.function<QObject>());
  delegate.applicationDidFinishLaunching();
  scheduler.tasks->at(0).run();
  QWidget* window = delegate.window();
  auto* rootVC = qobject_cast<QRootVC*>(
      qobject_cast<QNavigationController*>(delegate.window()->contentViewController())->rootViewController());
  QNavigationController* navVC = rootVC->navVC();
  auto* list = qobject_cast<QCameraListVC*>(navVC->rootViewController());
  ASSERT_TRUE(waitUntil([&] { return list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1; }));
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "camera list";

  list->supportBtnAction();
  QPointer sheet = list->findChild<QCameraSupportedVC*>();
  ASSERT_TRUE(sheet);
  settle();
  EXPECT_EQ(coveredControls(window, sheet), "") << "supported devices";
  sheet->closeBtnAction();
  ASSERT_TRUE(waitUntil([&] { return sheet.isNull() || !sheet->isVisible(); }));

  list->cameraBtnAction(list->cameraArr().front());
  QPointer<QCameraControlVC> screen;
  ASSERT_TRUE(waitUntil([&] {
    screen = qobject_cast<QCameraControlVC*>(navVC->topViewController());
    return screen && screen->functionControlVC()->model().isLoaded();
  }));
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "function page";
  QTest::mouseClick(screen->tabBtn(QCameraControlVC::kImageTab), Qt::LeftButton);
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "image page";

  screen->cameraDetailBtnAction();
  auto* info = qobject_cast<QCameraInfoVC*>(navVC->topViewController());
  ASSERT_NE(info, nullptr);
  settle();
  EXPECT_EQ(coveredControls(window, window), "") << "camera info";
  info->backBtnAction();
  ASSERT_EQ(navVC->topViewController(), screen.data());
  settle();

  QToolButton* back = screen->backBtn();
  // Through the window system, so Qt picks the widget under the pointer as for a person.
  QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, back->mapTo(window, back->rect().center()));
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
