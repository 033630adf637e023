#include <QMainWindow>
#include <QScopeGuard>
#include <QToolBar>

#include "CameraCommand.h"
#include "FirmwareImage.h"
#include "UpdateTestSupport.h"
#include "section/camera_info/QCameraInfoVC.h"

namespace vexhal {
namespace {

using namespace std::chrono_literals;
using sim::FirmwareVersion;
using test::countLogged;
using test::waitUntil;

const QString kFailed = QStringLiteral("Updating failed. Please try again.");
const std::string kTransfer = "CameraInfo, startUpgrade, 0";

// Two virtual cameras, the local update service and a screen stack in a window of its own.
struct CameraInfoTest : testing::Test, test::Cameras, test::ScreenStack {
  CameraInfoTest() { first.setRestartDelay(50ms); }

  // Opens the screen and waits for its first version read (which `versionReadFails`).
  void openInfo(bool versionReadFails = false) {
    platform.setScheduler(test::immediateScheduler());
    info = new QCameraInfoVC(device, platform, manager);
    nav.push(info, false);
    ASSERT_TRUE(waitUntil([&] {
      return versionReadFails
                 ? test::logged("CameraInfo, getVersion, " + std::to_string(kVersionFault))
                 : info->versionLabel()->text() == QStringLiteral("1.0.6");
    }));
  }

  // The service offers `version` for the camera's 1.0.6, as a package the camera accepts.
  void offer(FirmwareVersion version, bool force) {
    const QByteArray package = sim::buildFirmwareImage(version, QByteArray(8192, 'x'));
    local.service.addPackage(QStringLiteral("/fw.bin"), package);
    local.service.setAnswer(QStringLiteral("VX-K31D"), QStringLiteral("1.0.6"),
                            sim::UpdateService::offer(QString::fromStdString(version.text()),
                                                      local.url(QStringLiteral("/fw.bin")),
                                                      QStringLiteral("Notes"), package, force));
  }

  QUpgradeVC* checkForUpdate() {
    QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);
    waitUntil([&] { return info->updateVC() != nullptr; });
    return info->updateVC();
  }

  void startInstallation() {
    QUpgradeVC* sheet = checkForUpdate();
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->upgradeBtn(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return info->loadingView() != nullptr; }));
  }

  static constexpr std::uint32_t kVersionFault = 7;

  QPointer<QCameraInfoVC> info;
};

// The camera's texts are shown as they stand; a service failure is told and nothing newer says
// up to date; the camera unplugged while a check waits closes the screen with its busy overlay.
TEST_F(CameraInfoTest, ShowsTheCamerasTextsAndTheServicesAnswers) {
  openInfo();
  EXPECT_EQ(info->nameLabel()->text(), QStringLiteral("PICO EDGE"));
  EXPECT_TRUE(
      waitUntil([&] { return info->serialLabel()->text() == QStringLiteral("VXK31D2612001"); }));
  for (QLabel* label : {info->nameLabel(), info->serialLabel(), info->versionLabel()}) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
  }
  QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);  // the service knows no such product
  ASSERT_TRUE(waitUntil([&] { return test::toastText(&nav).has_value(); }));
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
  EXPECT_TRUE(test::logged("CameraInfo, needVersionUpgrade, 1"));
  local.service.setAnswer(QStringLiteral("VX-K31D"), QStringLiteral("*"),
                          sim::UpdateService::upToDate());
  QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);
  ASSERT_TRUE(
      waitUntil([&] { return test::toastText(&nav) == QStringLiteral("Software is up to date"); }));
  EXPECT_EQ(info->updateVC(), nullptr);
  unplugWhileACheckWaits(first, info->checkVersionBtn());
}

TEST_F(CameraInfoTest, TheFullUpdateDownloadsInstallsWaitsForTheRestartAndEndsComplete) {
  offer({1, 1, 0}, false);
  openInfo();
  QUpgradeVC* sheet = checkForUpdate();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("PICO EDGE V1.1.0"));
  EXPECT_TRUE(test::logged("CameraInfo, needVersionUpgrade, true, false, 1.1.0, "));
  QTest::mouseClick(sheet->upgradeBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return info->loadingView() != nullptr; }));
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_TRUE(info->loadingView()->isLoading());
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  EXPECT_EQ(test::toastText(&nav), QStringLiteral("Update Complete"));
}

// The camera restarts with the version it had: the update failed. "Later" (only for an update
// that is not forced) goes back to the list; "Retry" sends the stored package again.
class SameVersionTest : public CameraInfoTest, public testing::WithParamInterface<bool> {};

TEST_P(SameVersionTest, CountsAsAFailureLaterLeavesAndRetrySendsThePackageAgain) {
  const bool force = GetParam();
  offer({1, 0, 6}, force);
  openInfo();
  startInstallation();
  ASSERT_TRUE(waitUntil([&] { return info->failureAlert() != nullptr; }));
  EXPECT_EQ(info->failureAlert()->alertMessage(), kFailed);
  EXPECT_EQ(test::actionTitles(info->failureAlert()),
            force ? QStringList{"Retry"} : (QStringList{"Later", "Retry"}));
  EXPECT_EQ(info->loadingView(), nullptr);
  if (!force) {
    test::choose(info->failureAlert(), QStringLiteral("Later"));
    EXPECT_TRUE(onRoot());
    return;
  }
  const std::size_t sent = countLogged(kTransfer);
  test::choose(info->failureAlert(), QStringLiteral("Retry"));
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_TRUE(waitUntil([&] { return countLogged(kTransfer) == sent + 1; }));
}

INSTANTIATE_TEST_SUITE_P(ForcedOrNot, SameVersionTest, testing::Bool());

// A camera that never answers the version read still lets the check finish: the read fails
// with the command timeout and the overlay goes.
TEST_F(CameraInfoTest, ASilentCameraDoesNotHoldTheBusyOverlay) {
  openInfo();
  sim::SimFaults faults;
  faults.noReply.insert(sim::kCmdGetVersion);
  first.setFaults(faults);
  info->device()->setCommandReplyTimeout(300ms);
  QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);
  ASSERT_NE(QHudOverlay::busyOverlay(&nav), nullptr);
  EXPECT_TRUE(waitUntil([&] { return QHudOverlay::busyOverlay(&nav) == nullptr; }));
  EXPECT_TRUE(test::logged("CameraInfo, needVersionUpgrade, getVersion, " +
                           std::to_string(USBDevice::kCommandNoReply)));
  EXPECT_EQ(nav.topViewController(), info.data());
}

// An installation whose camera never comes back: its overlay covers the whole window, toolbar
// included, keys reach nothing under it, and the watchdog giving up leaves the screen.
TEST_F(CameraInfoTest, AnInstallationCoversTheWindowTakesNoKeysAndTheWatchdogEndsIt) {
  QMainWindow main;
  main.addToolBar(new QToolBar(&main));
  main.setCentralWidget(&nav);
  const auto release = qScopeGuard([&] {
    main.takeCentralWidget();
    nav.setParent(nullptr);
  });
  main.resize(760, 560);  // the smallest the program's window gets
  main.show();
  offer({1, 1, 0}, false);
  first.setRestartDelay(std::chrono::hours(1));
  openInfo();
  const std::size_t checks = countLogged("CameraInfo, needVersionUpgrade, getVersion");
  startInstallation();
  test::settle();
  ASSERT_GT(nav.y(), 0);  // below the toolbar
  const auto inWindow = [&](const QWidget* w) {
    return QRect(w->mapTo(&main, QPoint()), w->size());
  };
  EXPECT_EQ(inWindow(info->loadingView()), main.rect());
  for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Space})
    QTest::keyClick(main.windowHandle(), key);
  QTest::keyClick(main.windowHandle(), Qt::Key_Escape);
  test::settle();
  EXPECT_EQ(nav.topViewController(), info.data());  // the restart does not close the screen
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_EQ(countLogged("CameraInfo, needVersionUpgrade, getVersion"), checks + 1);
  info->installation().setTickInterval(1ms);
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  EXPECT_EQ(test::toastText(&nav), kFailed);
  EXPECT_FALSE(platform.firmwareInstalling());
}

}  // namespace
}  // namespace vexhal
