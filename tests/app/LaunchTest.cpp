#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <algorithm>

#include "../section/camera_info/UpdateTestSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/QLaunchVC.h"
#include "app/CommandLine.h"
#include "platform/SleepWatcher.h"
#include "section/camera_control/QSettingsKeeper.h"
#include "common/Menu.h"
#include "common/QNavigationController.h"
#include "common/QScreenHeader.h"
#include "section/about/QAboutVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"
#include "VirtualCameraRig.h"

namespace vexhal {
namespace {

using test::logged;
using test::processDeferredDeletes;

struct StartUpTest : testing::Test {
  StartUpTest() {
    platform.setScheduler(scheduler.function<QObject>());
    // Wake-ups come from the test, not from a system bus.
    platform.setSleepWatcherMaker(
        [] { return std::make_unique<SleepWatcher>(QDBusConnection(QStringLiteral("none"))); });
    // The start-up version check goes to a loopback port nobody listens on: refused at once.
    RNetManager::share().config(QStringLiteral("http://127.0.0.1:1"), QString());
  }
  // A request still open when the test program ends would leave Qt Network's objects behind.
  ~StartUpTest() override { EXPECT_TRUE(test::waitUntil(test::versionChecksAnswered)); }

  test::RecordingScheduler scheduler;
  Platform platform;
  AppDelegate delegate{platform};
};

TEST_F(StartUpTest, TheLaunchScreenIsReplacedByTheRootScreenAfterTwoSeconds) {
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
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
  EXPECT_NE(qobject_cast<QCameraListVC*>(root->navVC()->rootViewController()), nullptr);
  EXPECT_TRUE(root->isVisible());
  processDeferredDeletes();
  EXPECT_TRUE(launch.isNull());
}

TEST_F(StartUpTest, ANewerProgramFoundAtStartIsOfferedOnTheRootScreen) {
  test::LocalUpdateService local;
  local.service.setAnswer(
      QStringLiteral("KVR"), QStringLiteral("*"),
      sim::UpdateService::offer(QStringLiteral("9.0.0"), QStringLiteral("https://example.com/get"),
                                QStringLiteral("New"), "pkg", true));
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(test::shown<QUpgradeVC>(), nullptr);
  scheduler.tasks->at(0).run();
  ASSERT_TRUE(test::waitUntil([] { return test::shown<QUpgradeVC>() != nullptr; }));
  QUpgradeVC* sheet = test::shown<QUpgradeVC>();
  EXPECT_TRUE(sheet->isApp());
  EXPECT_FALSE(sheet->isWindow());
  EXPECT_EQ(sheet->window(), delegate.window());
  EXPECT_FALSE(sheet->cancelBtn()->isVisible());  // forced
  sheet->closeSheet();
}

// Closing the window keeps it; reopening brings the same window back, restored if minimised.
TEST_F(StartUpTest, ClosingTheWindowKeepsItAndReopeningBringsTheSameWindowBack) {
  QApplication::setQuitOnLastWindowClosed(true);
  AppDelegate::configureApplication();
  EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
  delegate.applicationDidFinishLaunching();
  QPointer<MainWindow> window = delegate.window();
  EXPECT_TRUE(window->close());
  processDeferredDeletes();
  ASSERT_FALSE(window.isNull());
  EXPECT_FALSE(window->isVisible());
  delegate.applicationShouldHandleReopen();
  EXPECT_EQ(delegate.window(), window.data());
  EXPECT_TRUE(window->isVisible());
  window->showMinimized();
  delegate.openAppAction();
  EXPECT_FALSE(window->isMinimized());
}

// Started with --background (as the autostart entry does) the window stays hidden while the
// settings keeper, the program's and not the window's, hears wake-ups; giving up is told on the
// window once it is shown.
TEST_F(StartUpTest, InTheBackgroundTheKeeperWorksWithoutTheWindow) {
  CommandLine commandLine;
  QString out, err;
  ASSERT_EQ(
      commandLine.parse({QStringLiteral("vexhaltools"), QStringLiteral("--background")}, out, err),
      std::nullopt);
  delegate.applicationDidFinishLaunching(commandLine.isSet(QStringLiteral("background")));
  MainWindow* window = delegate.window();
  scheduler.tasks->at(0).run();
  EXPECT_FALSE(window->isVisible());
  ASSERT_NE(delegate.sleepWatcher(), nullptr);
  emit delegate.sleepWatcher()->resumed();
  EXPECT_TRUE(logged("App, woke from sleep, sending the held image settings again"));
  emit delegate.keeper()->gaveUp(QStringLiteral("VXK1"));
  EXPECT_FALSE(test::toastText(window));
  EXPECT_TRUE(logged("App, keeperGaveUp, no window and no tray to tell, VXK1"));
  delegate.applicationShouldHandleReopen();
  EXPECT_TRUE(window->isVisible());
  emit delegate.keeper()->gaveUp(QStringLiteral("VXK2"));
  EXPECT_TRUE(test::toastText(window).value_or(QString()).contains(QStringLiteral("VXK2")));
}

// The More button's menu: About twice leaves one about screen, "Start at login" writes the
// autostart entry and removes it again, with its check mark following, Quit quits.
TEST(RootTest, TheMoreMenuOpensAboutOnceTogglesStartAtLoginAndQuits) {
  QTemporaryDir autostart;
  Platform platform;
  platform.setAutostartDirectory(autostart.path());
  QSettingsKeeper keeper(platform.uvcTransportFactory(), platform.scheduler());
  QRootVC root(platform, keeper);
  int quits = 0;
  root.setQuitHandler([&] { ++quits; });
  root.resize(900, 600);
  root.show();
  const auto openMenu = [&] {
    QTest::mouseClick(root.moreBtn(), Qt::LeftButton);
    return root.myMenu()->popup();
  };
  // Clicks the entry at its place in the open menu.
  const auto choose = [](QMenu* menu, QAction* entry) {
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    QCoreApplication::processEvents();
  };
  for (int round = 0; round < 2; ++round) {
    QMenu* menu = openMenu();
    choose(menu, menu->actions().at(0));
  }
  ASSERT_EQ(root.navVC()->viewControllers().size(), 2);
  EXPECT_NE(qobject_cast<QAboutVC*>(root.navVC()->topViewController()), nullptr);
  const QString entry =
      autostart.filePath(QStringLiteral("org.example.vexhal.VexhalTools.desktop"));
  for (const bool on : {true, false}) {
    QMenu* menu = openMenu();
    QAction* atLogin = menu->actions().at(1);
    EXPECT_TRUE(atLogin->isCheckable());
    EXPECT_EQ(atLogin->isChecked(), !on);
    choose(menu, atLogin);
    EXPECT_EQ(QFile::exists(entry), on);
  }
  EXPECT_EQ(quits, 0);
  QMenu* menu = openMenu();
  choose(menu, menu->actions().at(2));
  EXPECT_EQ(quits, 1);
}

// In the demo the "Demo" button's menu works the virtual camera: its check mark follows the
// camera, a click unplugs or plugs it, and the fault entries reach it.
TEST(RootTest, TheDemoMenuPlugsAndUnplugsTheVirtualCameraAndGivesItFaults) {
  Platform platform;
  QSettingsKeeper keeper(platform.uvcTransportFactory(), platform.scheduler());
  QRootVC root(platform, keeper);
  root.resize(900, 600);
  root.show();
  EXPECT_FALSE(root.demoBtn()->isVisible());
  sim::VirtualCameraRig rig;
  root.setDemoCommands([&rig](const QString& line) { return rig.execute(line); });
  ASSERT_TRUE(root.demoBtn()->isVisible());
  ASSERT_TRUE(root.headerView()->rect().contains(root.demoBtn()->geometry()));
  const auto choose = [&root](int index) {
    QTest::mouseClick(root.demoBtn(), Qt::LeftButton);
    QMenu* menu = root.demoMenu()->popup();
    EXPECT_NE(menu, nullptr);
    if (menu == nullptr) return false;
    QAction* entry = menu->actions().at(index);
    const bool checked = entry->isChecked();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    QCoreApplication::processEvents();
    return checked;
  };
  EXPECT_TRUE(choose(0));
  EXPECT_FALSE(rig.camera().isAttached());
  EXPECT_FALSE(choose(0));
  EXPECT_TRUE(rig.camera().isAttached());
  choose(1);
  EXPECT_EQ(rig.camera().faults().replyDelay, std::chrono::milliseconds(3000));
  choose(2);
  EXPECT_EQ(rig.camera().faults().detachAfterPacket, 100);
  choose(3);
  EXPECT_FALSE(rig.camera().faults().any());
}

// A closed screen's memory goes back to the system a moment after it closes, once for closings
// that come close together.
TEST(RootTest, ClosingAScreenHandsItsFreedMemoryBackToTheSystem) {
  test::RecordingScheduler scheduler;
  Platform platform;
  platform.setScheduler(scheduler.function<QObject>());
  int releases = 0;
  platform.setMemoryReleaser([&releases] { ++releases; });
  QSettingsKeeper keeper(platform.uvcTransportFactory(), platform.scheduler());
  QRootVC root(platform, keeper);
  root.resize(900, 600);
  root.show();
  // Opens About from the More menu and clicks its back button; the number of tasks then due.
  const auto openAndCloseAbout = [&] {
    QTest::mouseClick(root.moreBtn(), Qt::LeftButton);
    QMenu* menu = root.myMenu()->popup();
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(menu->actions().at(0)).center());
    QCoreApplication::processEvents();
    auto* header = root.navVC()->topViewController()->findChild<QScreenHeader*>();
    EXPECT_NE(header, nullptr);
    if (header != nullptr) QTest::mouseClick(header->backBtn(), Qt::LeftButton);
    EXPECT_TRUE(test::waitUntil([&] { return root.navVC()->viewControllers().size() == 1; }));
    return std::count_if(scheduler.tasks->begin(), scheduler.tasks->end(), [](const auto& task) {
      return task.ms == QRootVC::kMemoryReleaseDelayMs;
    });
  };
  const auto runLastRelease = [&] {
    for (auto task = scheduler.tasks->rbegin(); task != scheduler.tasks->rend(); ++task)
      if (task->ms == QRootVC::kMemoryReleaseDelayMs) return task->run();
  };
  EXPECT_EQ(openAndCloseAbout(), 1);
  EXPECT_EQ(openAndCloseAbout(), 1);
  EXPECT_EQ(releases, 0);
  runLastRelease();
  EXPECT_EQ(releases, 1);
  EXPECT_EQ(openAndCloseAbout(), 2);
  runLastRelease();
  EXPECT_EQ(releases, 2);
}

}  // namespace
}  // namespace vexhal
