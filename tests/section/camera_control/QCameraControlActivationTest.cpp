// The program becoming active, in the demo set-up: with the camera list on top nothing is
// asked; with a camera's control screen on top (opened from its row) its camera is asked for
// the capture information, and the answer reaches the function page.
#include <gtest/gtest.h>

#include "CameraCommand.h"
#include "../ScreenTestSupport.h"
#include "app/AppDelegate.h"
#include "app/DemoSession.h"
#include "app/MainWindow.h"
#include "common/QNavigationController.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::settle;
using test::waitUntil;

TEST(ActivationTest, AsksForCaptureInfoOnlyWithTheControlScreenOnTop) {
  DemoSession demo;
  QString error;
  QString notice;
  ASSERT_TRUE(demo.start(&error, &notice)) << error.toStdString();
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

}  // namespace
}  // namespace vexhal
