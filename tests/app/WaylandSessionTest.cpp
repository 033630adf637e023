// The program in the demo set-up on a real display server (WaylandSession.sh runs it under a
// headless Wayland compositor): the camera is listed, the control screen opens with its preview
// without the main window's native surface being made again, and a dialog opened there is drawn
// inside the main window.
#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QPlatformSurfaceEvent>
#include <QWindow>

#include <cstdio>

#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QNavigationController.h"
#include "common/UiTestSupport.h"
#include "common/QSheetOverlay.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::waitUntil;

// Counts a window's native surfaces being made and destroyed.
class SurfaceEvents : public QObject {
 public:
  int created = 0;
  int destroyed = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::PlatformSurface) {
      const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
      ++(type == QPlatformSurfaceEvent::SurfaceCreated ? created : destroyed);
    }
    return QObject::eventFilter(watched, event);
  }
};

TEST(DisplaySessionTest, OpeningTheControlScreenKeepsTheWindowAndItsDialogsInside) {
  std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
  DemoSession demo;
  QString error, notice;
  ASSERT_TRUE(demo.start(&error, &notice)) << error.toStdString();
  test::RecordingScheduler scheduler;
  demo.platform().setScheduler(scheduler.function<QObject>());
  AppDelegate delegate(demo.platform());
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  QWindow* const nativeWindow = window->windowHandle();
  const QPoint position = window->pos();
  SurfaceEvents surfaces;
  nativeWindow->installEventFilter(&surfaces);

  scheduler.tasks->at(0).run();  // the launch screen's two seconds
  auto* root = qobject_cast<QRootVC*>(
      qobject_cast<QNavigationController*>(window->contentViewController())->rootViewController());
  auto* list = qobject_cast<QCameraListVC*>(root->navVC()->rootViewController());
  ASSERT_TRUE(waitUntil(
      [&] { return list->cameraArr().size() == 1 && list->cameraArr()[0]->state() == 1; }));
  list->cameraBtnAction(list->cameraArr().front());
  QCameraControlVC* screen = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    screen = qobject_cast<QCameraControlVC*>(root->navVC()->topViewController());
    return screen != nullptr && screen->framesRendered() > 0;
  }));
  bool openGl = false;
  for (const QOpenGLWidget* each : screen->findChildren<QOpenGLWidget*>())
    openGl = openGl || each->isVisible();
  std::printf("preview drawn through %s\n", openGl ? "OpenGL" : "raster painting");
  EXPECT_EQ(window->windowHandle(), nativeWindow);
  EXPECT_EQ(surfaces.created + surfaces.destroyed, 0);
  EXPECT_EQ(window->pos(), position);

  screen->resetBtnAction();
  ASSERT_EQ(screen->presentedAlerts().size(), 1);
  QAlertController* alert = screen->presentedAlerts().front();
  test::settle();
  EXPECT_FALSE(alert->isWindow());
  EXPECT_EQ(alert->window(), window);
  EXPECT_TRUE(window->rect().contains(QRect(alert->mapTo(window, QPoint()), alert->size())));
  EXPECT_NE(alert->overlay(), nullptr);
  int shownWindows = 0;
  for (QWindow* each : QGuiApplication::topLevelWindows()) shownWindows += each->isVisible();
  EXPECT_EQ(shownWindows, 1);
  alert->dismissController();
  test::settle();
  EXPECT_EQ(surfaces.created + surfaces.destroyed, 0);
}

}  // namespace
}  // namespace vexhal
