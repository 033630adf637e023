#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QScopeGuard>
#include <QToolBar>

#include "CameraCommand.h"
#include "FirmwareImage.h"
#include "UpdateTestSupport.h"
#include "common/QNavigationController.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {
namespace {

using namespace std::chrono_literals;
using sim::FirmwareVersion;
using test::countLogged;
using test::waitUntil;

const QString kFailed = QStringLiteral("Updating failed. Please try again.");
const std::string kTransfer = "CameraInfo, startUpgrade, 0";

// Two virtual cameras under the real HID manager, the local update service as the client's
// endpoint, and a screen stack in a window of its own.
struct CameraInfoTest : testing::Test, test::TwoCameras {
  CameraInfoTest() : nav(new QViewController("RootScreen")) {
    first.setRestartDelay(50ms);
    nav.resize(900, 600);
    nav.show();
  }
  ~CameraInfoTest() override {
    if (QUpgradeVC* sheet = test::shown<QUpgradeVC>()) sheet->closeSheet();
    nav.popToRoot(false);
    test::processDeferredDeletes();
  }

  // Opens the screen and waits for its first version read (which `versionReadFails`).
  void openInfo(bool versionReadFails = false) {
    plug(first);
    // The screen's waits run at once; toasts stay up for the test to read.
    platform.setScheduler([](QObject* context, int, std::function<void()> task) {
      if (qobject_cast<QProgressHUD*>(context) == nullptr)
        QTimer::singleShot(0, context, std::move(task));
    });
    info = new QCameraInfoVC(manager.devices().front(), platform, manager);
    nav.push(info, false);
    ASSERT_TRUE(waitUntil([&] {
      return versionReadFails
                 ? test::logged("CameraInfo, getVersion, " + std::to_string(kVersionFault))
                 : info->versionLabel()->text() == QStringLiteral("1.0.6");
    }));
  }

  // The service offers `version` for the camera's 1.0.6 (or `forVersion`), as a package the
  // camera accepts.
  void offer(FirmwareVersion version, bool force,
             const QString& forVersion = QStringLiteral("1.0.6")) {
    const QByteArray package = sim::buildFirmwareImage(version, QByteArray(8192, 'x'));
    local.service.addPackage(QStringLiteral("/fw.bin"), package);
    local.service.setAnswer(QStringLiteral("VX-K31D"), forVersion,
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

  void clickAction(bool last) {
    const auto& actions = info->failureAlert()->actions();
    QTest::mouseClick((last ? actions.back() : actions.front())->button, Qt::LeftButton);
  }

  bool onRoot() const { return nav.topViewController() == nav.rootViewController(); }

  static constexpr std::uint32_t kVersionFault = 7;

  test::LocalUpdateService local;
  QNavigationController nav;
  QPointer<QCameraInfoVC> info;
};

TEST_F(CameraInfoTest, ShowsTheCamerasNameSerialNumberAndVersion) {
  openInfo();
  EXPECT_EQ(info->nameLabel()->text(), QStringLiteral("PICO EDGE"));
  EXPECT_TRUE(
      waitUntil([&] { return info->serialLabel()->text() == QStringLiteral("VXK31D2612001"); }));
  EXPECT_EQ(info->lastVersion(), QStringLiteral("1.0.6"));
  EXPECT_TRUE(test::logged("CameraInfo, getVersion, 0, Optional(\"1.0.6\")"));
  for (QLabel* label : {info->nameLabel(), info->serialLabel(), info->versionLabel()}) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText);  // the camera's texts, never markup
  }
}

TEST_F(CameraInfoTest, AServiceFailureIsToldAndNothingNewerSaysUpToDate) {
  openInfo();
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
  EXPECT_EQ(first.firmwareVersion(), (FirmwareVersion{1, 1, 0}));
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_TRUE(test::logged(kTransfer));
  EXPECT_TRUE(test::logged("CameraInfo, getState, 0, 1"));
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
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_EQ(info->loadingView(), nullptr);
  EXPECT_FALSE(info->isTimerRunning());
  if (!force) {
    clickAction(false);
    EXPECT_TRUE(onRoot());
    return;
  }
  const std::size_t sent = countLogged(kTransfer);
  clickAction(true);
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_TRUE(waitUntil([&] { return countLogged(kTransfer) == sent + 1; }));
}

INSTANTIATE_TEST_SUITE_P(ForcedOrNot, SameVersionTest, testing::Bool());

// The version read as the screen opened failed: the check's own read is the reference for the
// success test, and while the version stays unknown no installation starts.
class UnknownVersionTest : public CameraInfoTest, public testing::WithParamInterface<bool> {};

TEST_P(UnknownVersionTest, TheChecksReadIsTheReferenceAndNoneRefusesTheInstallation) {
  const bool checkReadsIt = GetParam();
  offer({1, 0, 6}, false, QStringLiteral("*"));
  sim::SimFaults faults;
  faults.errorCodes[sim::kCmdGetVersion] = kVersionFault;
  first.setFaults(faults);
  openInfo(true);
  const std::size_t transfers = countLogged(kTransfer);
  if (checkReadsIt) first.setFaults({});
  QUpgradeVC* sheet = checkForUpdate();
  ASSERT_NE(sheet, nullptr);
  QTest::mouseClick(sheet->upgradeBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil(
      [&] { return info.isNull() || info->failureAlert() != nullptr || test::toastText(&nav); }));
  ASSERT_FALSE(onRoot()) << test::toastText(&nav).value_or(QString()).toStdString();
  if (checkReadsIt) {  // the camera came back unchanged
    EXPECT_EQ(info->lastVersion(), QStringLiteral("1.0.6"));
    EXPECT_NE(info->failureAlert(), nullptr);
  } else {
    EXPECT_TRUE(test::toastText(&nav).value_or(QString()).startsWith(
        QStringLiteral("The camera's firmware version could not be read")));
    EXPECT_FALSE(platform.firmwareInstalling());
    EXPECT_EQ(info->loadingView(), nullptr);
    EXPECT_EQ(countLogged(kTransfer), transfers);
  }
}

INSTANTIATE_TEST_SUITE_P(ReadByTheCheckOrNot, UnknownVersionTest, testing::Bool());

// Keys pressed during the installation reach nothing under its overlay ("Back" among them),
// so the restart is still awaited.
TEST_F(CameraInfoTest, KeysDuringTheInstallationReachNothingUnderTheOverlay) {
  offer({1, 1, 0}, false);
  first.setRestartDelay(std::chrono::hours(1));
  openInfo();
  const std::size_t checks = countLogged("CameraInfo, needVersionUpgrade, getVersion");
  startInstallation();
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(nav.windowHandle(), Qt::Key_Tab);
    QTest::keyClick(nav.windowHandle(), Qt::Key_Space);
  }
  QTest::keyClick(nav.windowHandle(), Qt::Key_Escape);
  test::settle();
  EXPECT_EQ(nav.topViewController(), info.data());
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_EQ(countLogged("CameraInfo, needVersionUpgrade, getVersion"), checks + 1);
}

// The screen closes (its camera went away) while the service has not answered: the busy
// overlay goes with it.
TEST_F(CameraInfoTest, ClosingWhileTheCheckWaitsTakesTheBusyOverlayAway) {
  local.service.setFault(QString::fromLatin1(sim::UpdateService::kVersionCheckPath),
                         sim::UpdateService::Fault::Slow);
  local.service.setSlowDelay(std::chrono::seconds(2));
  openInfo();
  QTest::mouseClick(info->checkVersionBtn(), Qt::LeftButton);
  ASSERT_NE(QHudOverlay::busyOverlay(&nav), nullptr);
  ASSERT_TRUE(waitUntil([&] { return !local.service.requests().isEmpty(); }));
  first.unplug();
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  test::processDeferredDeletes();
  EXPECT_EQ(QHudOverlay::busyOverlay(&nav), nullptr);
  EXPECT_TRUE(waitUntil(test::versionChecksAnswered));
}

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

TEST_F(CameraInfoTest, AnotherCameraDuringInstallationIsIgnoredAndTheWatchdogFires) {
  offer({1, 1, 0}, false);
  first.setRestartDelay(std::chrono::hours(1));  // the camera never comes back
  openInfo();
  info->setTickInterval(std::chrono::hours(1));
  const std::size_t stateChecks = countLogged("CameraInfo, getState");
  startInstallation();
  ASSERT_TRUE(waitUntil([&] { return !first.isAttached(); }));
  EXPECT_EQ(nav.topViewController(), info.data());  // the restart does not close the screen
  plug(second);
  ASSERT_TRUE(waitUntil([] {
    return test::logged(
        "CameraInfo, usbHidManager(_:didAttach:), getSerialNumber, 0, Optional(\"VXK31D2612002\")");
  }));
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_EQ(info->device()->serialNumber(), std::optional<std::string>("VXK31D2612001"));
  info->setTickInterval(1ms);
  ASSERT_TRUE(waitUntil([&] { return info.isNull() || info->totalTime() >= 110.0; }));
  ASSERT_FALSE(onRoot()) << "gives up only at the twelfth tick of ten seconds";
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  EXPECT_EQ(test::toastText(&nav), kFailed);
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_TRUE(test::logged("CameraInfo, startTimer(), 超时未检测到设备插入"));
  EXPECT_EQ(countLogged("CameraInfo, getState"), stateChecks);
}

// A camera that leaves before it has taken the whole image has failed: the failure shows at
// once, not when the watchdog gives up, and "Retry" reaches the camera once it is back.
TEST_F(CameraInfoTest, ACameraLostDuringTheTransferFailsAtOnceAndRetryReachesItWhenBack) {
  offer({1, 1, 0}, false);
  sim::SimFaults faults;
  faults.detachAfterPacket = 3;
  faults.neverReturn = true;
  first.setFaults(faults);
  openInfo();
  info->setTickInterval(std::chrono::hours(1));
  QTest::mouseClick(checkForUpdate()->upgradeBtn(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return info->failureAlert() != nullptr; }));
  EXPECT_EQ(info->failureAlert()->alertMessage(), kFailed);
  EXPECT_LT(info->totalTime(), QCameraInfoVC::timeoutSeconds);
  EXPECT_EQ(info->loadingView(), nullptr);
  EXPECT_FALSE(platform.firmwareInstalling());

  // While it is away, "Retry" has nothing to send to and fails again at once.
  QPointer<QAlertController> away = info->failureAlert();
  clickAction(true);
  ASSERT_TRUE(waitUntil([&] { return info->failureAlert() != away && info->failureAlert(); }));
  first.setFaults({});
  first.plug();
  ASSERT_TRUE(waitUntil([&] { return info->device()->isOpen(); }));
  clickAction(true);
  ASSERT_TRUE(waitUntil([&] { return onRoot(); }));
  EXPECT_EQ(test::toastText(&nav), QStringLiteral("Update Complete"));
  EXPECT_EQ(first.firmwareVersion(), (FirmwareVersion{1, 1, 0}));
}

// The installation overlay dims the whole window, toolbar included, and its spinner lies on
// no text, neither its own nor that of the screen showing through it.
TEST_F(CameraInfoTest, TheInstallationOverlayCoversTheWindowAndItsSpinnerNoText) {
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
  startInstallation();
  test::settle();
  ASSERT_GT(nav.y(), 0);  // below the toolbar
  const auto inWindow = [&](const QWidget* w) {
    return QRect(w->mapTo(&main, QPoint()), w->size());
  };
  EXPECT_EQ(inWindow(info->loadingView()), main.rect());
  const QRect spinner = inWindow(info->loadingView()->imageLabel());
  for (QWidget* widget : main.findChildren<QWidget*>()) {
    const auto* label = qobject_cast<QLabel*>(widget);
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    const QString text = label ? label->text() : button ? button->text() : QString();
    if (widget->isVisible() && !text.isEmpty()) {
      EXPECT_FALSE(spinner.intersects(inWindow(widget))) << text.toStdString();
    }
  }
}

// A camera unplugged while its info screen is on top closes the screen and its sheet, unless an
// installation runs; another camera going away changes nothing.
struct RemovalCase {
  bool installing, removeShownCamera, closes;
};
class RemovalTest : public CameraInfoTest, public testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, ClosesTheScreenOnlyForItsCameraOutsideAnInstallation) {
  offer({1, 1, 0}, false);
  openInfo();
  plug(second);
  ASSERT_NE(checkForUpdate(), nullptr);
  platform.setFirmwareInstalling(GetParam().installing);
  (GetParam().removeShownCamera ? first : second).unplug();
  ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == 1; }));
  EXPECT_EQ(onRoot(), GetParam().closes);
  EXPECT_EQ(test::shown<QUpgradeVC>() == nullptr, GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(Cases, RemovalTest,
                         testing::Values(RemovalCase{false, true, true},
                                         RemovalCase{true, true, false},
                                         RemovalCase{false, false, false}));

// A package that is missing or empty fails at once instead of starting a transfer.
class PackageFileTest : public CameraInfoTest, public testing::WithParamInterface<bool> {};

TEST_P(PackageFileTest, ANonePackageGoesToTheFailureStep) {
  openInfo();
  QFile::remove(firmwarePackagePath());
  if (GetParam()) {
    QDir().mkpath(QFileInfo(firmwarePackagePath()).absolutePath());
    QFile empty(firmwarePackagePath());
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  }
  info->showInstallHud();
  ASSERT_NE(info->failureAlert(), nullptr);
  EXPECT_EQ(test::actionTitles(info->failureAlert()), QStringList{QStringLiteral("Retry")});
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_FALSE(info->isTimerRunning());
  EXPECT_TRUE(test::logged("CameraInfo, startUpgrade, no package at "));
  EXPECT_EQ(first.firmwareVersion(), (FirmwareVersion{1, 0, 6}));
}

INSTANTIATE_TEST_SUITE_P(MissingOrEmpty, PackageFileTest, testing::Bool());

}  // namespace
}  // namespace vexhal
