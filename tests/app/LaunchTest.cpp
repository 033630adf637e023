#include <QApplication>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

#include "../section/camera_info/UpdateTestSupport.h"
#include "../sim/SimTestSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/QLaunchVC.h"
#include "common/Pictures.h"
#include "common/QNavigationController.h"
#include "extension/QHudOverlay.h"
#include "net/RNetManager.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::logged;
using test::processDeferredDeletes;

struct FrameCase {
  qreal progress;
  int frame;
};

class LaunchFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(LaunchFrameTest, PlaysOneHundredTwentyFramesLinearly) {
  EXPECT_EQ(QLaunchVC::frameAt(GetParam().progress), GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(Progress, LaunchFrameTest,
                         testing::Values(FrameCase{-0.5, 0}, FrameCase{0.0, 0}, FrameCase{1.0 / 120, 1},
                                         FrameCase{0.25, 30}, FrameCase{0.5, 60}, FrameCase{0.999, 119},
                                         FrameCase{1.0, 119}, FrameCase{1.5, 119}));

TEST(LaunchPicturesTest, EveryFrameExistsAndNoMore) {
  for (int i = 0; i < QLaunchVC::frameCount; ++i) {
    EXPECT_FALSE(picture(QStringLiteral("launch_%1").arg(i)).isNull()) << i;
  }
  EXPECT_TRUE(picture(QStringLiteral("launch_120")).isNull());
}

TEST(LaunchPicturesTest, TheProgramsOtherPicturesExist) {
  for (const char* name : {"empty_noCamera", "control_open", "control_close", "icon_more", "icon_back",
                           "icon_close", "app_icon", "logo_small"}) {
    EXPECT_FALSE(picture(QString::fromLatin1(name)).isNull()) << name;
  }
}

TEST(LaunchPicturesTest, IconsCarryADoubleSizeDrawingForDenseScreens) {
  for (const char* name : {"icon_more", "icon_close", "control_open"}) {
    const QIcon icon = pictureIcon(QString::fromLatin1(name));
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(32, 32), QSize(64, 64)})) << name;
  }
}

TEST(LaunchScreenTest, TheAnimationRunsTwoSecondsAndEndsOnTheLastFrame) {
  QLaunchVC launch;
  launch.resize(800, 600);
  launch.show();
  QVariantAnimation* animation = launch.animation();
  ASSERT_NE(animation, nullptr);
  animation->setCurrentTime(1000);
  EXPECT_EQ(launch.currentFrame(), 60);
  animation->setCurrentTime(2000);
  EXPECT_EQ(launch.currentFrame(), 119);
  EXPECT_FALSE(launch.lanchImg()->pixmap().isNull());
}

struct StartUpTest : testing::Test {
  StartUpTest() : delegate(scheduler.function<QObject>()) {
    // The start-up version check goes to a loopback port nobody listens on: refused at once,
    // without a name lookup.
    RNetManager::share().config(QStringLiteral("http://127.0.0.1:1"), QString());
  }
  // A request still open when the test program ends would leave Qt Network's connection
  // objects behind, so every check the start-up sent is waited for.
  ~StartUpTest() override {
    EXPECT_TRUE(sim::test::waitUntil([] {
      long open = 0;
      for (const std::string& line : test::loggedLines()) {
        if (line.find("RNetManager, version-check, GET ") != std::string::npos) {
          ++open;
        } else if (line.find("RNetManager, version-check, ") != std::string::npos) {
          --open;
        }
      }
      return open <= 0;
    }));
  }

  test::RecordingScheduler scheduler;
  AppDelegate delegate;
};

TEST_F(StartUpTest, TheLaunchScreenIsReplacedByTheRootScreenAfterTwoSeconds) {
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  QPointer<QWidget> launch = window->contentViewController();
  EXPECT_NE(qobject_cast<QLaunchVC*>(launch), nullptr);
  ASSERT_EQ(scheduler.tasks->size(), 1u);
  EXPECT_EQ(scheduler.tasks->at(0).ms, 2000);
  EXPECT_TRUE(logged("App, startCameraMonitoring, vendor 45574 product 45589"));

  scheduler.tasks->at(0).run();

  auto* outer = qobject_cast<QNavigationController*>(window->contentViewController());
  ASSERT_NE(outer, nullptr);
  auto* root = qobject_cast<QRootVC*>(outer->rootViewController());
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(outer->viewControllers().size(), 1);
  EXPECT_NE(qobject_cast<QCameraListVC*>(root->navVC()->rootViewController()), nullptr);
  EXPECT_TRUE(root->isVisible());
  EXPECT_EQ(outer->geometry(), window->contentView()->rect());
  processDeferredDeletes();
  EXPECT_TRUE(launch.isNull());
  EXPECT_TRUE(logged("deinit：<VexhalTools.QLaunchVC: 0x"));
}

TEST_F(StartUpTest, ANewerProgramFoundAtStartIsOfferedOnTheRootScreen) {
  test::LocalUpdateService local;
  local.service.setAnswer(QStringLiteral("KVR"), QStringLiteral("*"),
                          sim::UpdateService::offer(QStringLiteral("9.0.0"),
                                                    QStringLiteral("https://example.com/get"),
                                                    QStringLiteral("New"), "pkg", true));
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(test::shown<QUpgradeVC>(), nullptr);
  scheduler.tasks->at(0).run();
  ASSERT_TRUE(test::waitUntil([] { return test::shown<QUpgradeVC>() != nullptr; }));
  QUpgradeVC* sheet = test::shown<QUpgradeVC>();
  EXPECT_TRUE(sheet->isApp());
  EXPECT_EQ(sheet->parentWidget(), delegate.window());
  EXPECT_FALSE(sheet->cancelBtn()->isVisible());  // forced
  sheet->closeSheet();
}

TEST_F(StartUpTest, ClosingTheWindowKeepsItAndReopeningBringsTheSameWindowBack) {
  QApplication::setQuitOnLastWindowClosed(true);
  AppDelegate::configureApplication();
  EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
  EXPECT_EQ(QApplication::applicationName(), QStringLiteral("VexhalTools"));
  delegate.applicationDidFinishLaunching();
  QPointer<MainWindow> window = delegate.window();
  EXPECT_TRUE(window->close());
  processDeferredDeletes();
  ASSERT_FALSE(window.isNull());
  EXPECT_FALSE(window->isVisible());

  delegate.applicationShouldHandleReopen();
  EXPECT_EQ(delegate.window(), window.data());
  EXPECT_TRUE(window->isVisible());
}

TEST_F(StartUpTest, AReopenedMinimisedWindowIsRestored) {
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  window->showMinimized();
  delegate.openAppAction();
  EXPECT_FALSE(window->isMinimized());
  EXPECT_TRUE(window->isVisible());
}

TEST_F(StartUpTest, OverlaysOfTheWindowStayAboveTheRootScreenThatReplacesTheLaunch) {
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  QWidget* hud = QHudOverlay::showBusy(window);
  ASSERT_NE(hud, nullptr);
  scheduler.tasks->at(0).run();
  const QList<QObject*> children = window->contentView()->children();
  EXPECT_GT(children.indexOf(hud), children.indexOf(window->contentViewController()));
  QHudOverlay::hideBusy(window);
}

TEST(MainWindowTest, ReplacingTheContentDestroysTheOldScreenAndFollowsTheWindowSize) {
  MainWindow window;
  window.show();
  QPointer<QWidget> first = new QWidget;
  window.setContentViewController(first);
  auto* second = new QWidget;
  window.setContentViewController(second);
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  window.resize(1000, 720);
  EXPECT_EQ(second->geometry(), window.contentView()->rect());
}

}  // namespace
}  // namespace vexhal
