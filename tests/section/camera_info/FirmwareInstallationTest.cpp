// The firmware installation's rules on virtual cameras under the program's own HID manager.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "../ScreenTestSupport.h"
#include "CameraCommand.h"
#include "FirmwareImage.h"
#include "section/camera_info/FirmwareInstallation.h"
#include "section/camera_info/UpgradeState.h"

namespace vexhal {
namespace {

using namespace std::chrono_literals;
using sim::FirmwareVersion;
using test::countLogged;
using test::waitUntil;
using Events = std::vector<std::string>;
const FirmwareVersion kShipped{1, 0, 6};  // what the virtual camera starts with

// Hands the manager's arrivals and removals to the model, as the info screen does on top.
struct Forward : USBHidDelegate {
  void usbHidManagerDidAttachDevice(USBHidManager&, const std::shared_ptr<USBDevice>& d) override {
    if (model) model->cameraAttached(d);
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&, const std::shared_ptr<USBDevice>& d) override {
    if (model) model->cameraRemoved(d);
  }
  QPointer<FirmwareInstallation> model;
};

// A model on the first of two virtual cameras, its signals recorded by name, and the package
// file (version 1.1.0 unless a test writes another) in a temporary home's cache folder.
struct InstallationTest : testing::Test, test::Cameras {
  InstallationTest() {
    test::useTemporaryHome();
    first.setRestartDelay(50ms);
    platform.setScheduler(test::immediateScheduler());
    manager.addDelegate(forward);
    writePackage({1, 1, 0});
  }
  ~InstallationTest() override {
    manager.removeDelegate(forward);
    model.reset();
  }

  // Makes the model on the plugged camera and waits for its version read (which `fails`).
  void open(bool versionReadFails = false) {
    model = std::make_unique<FirmwareInstallation>(device, platform);
    forward->model = model.get();
    const std::pair<void (FirmwareInstallation::*)(), const char*> named[] = {
        {&FirmwareInstallation::refusedForUnknownVersion, "refused"},
        {&FirmwareInstallation::transferStarted, "started"},
        {&FirmwareInstallation::verifying, "verifying"},
        {&FirmwareInstallation::failed, "failed"},
        {&FirmwareInstallation::completed, "completed"},
        {&FirmwareInstallation::timedOut, "timedOut"}};
    for (const auto& [signal, name] : named) {
      QObject::connect(model.get(), signal, [this, name = name] { events.push_back(name); });
    }
    model->readInfo();
    ASSERT_TRUE(waitUntil([&] {
      return versionReadFails ? test::logged("CameraInfo, getVersion, 9")
                              : model->currentVersion() == QStringLiteral("1.0.6");
    }));
  }

  static void writePackage(FirmwareVersion version) {
    QDir().mkpath(QFileInfo(firmwarePackagePath()).absolutePath());
    QFile file(firmwarePackagePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(sim::buildFirmwareImage(version, QByteArray(8192, 'x')));
  }

  bool ended() const {
    return !events.empty() && events.back() != "started" && events.back() != "verifying";
  }

  std::shared_ptr<Forward> forward = std::make_shared<Forward>();
  std::unique_ptr<FirmwareInstallation> model;
  Events events;
};

// What the camera does with the package decides the outcome: it counts only when the camera
// comes back ready with another version.
struct OutcomeCase {
  const char* name;
  FirmwareVersion package;
  std::uint16_t faultyCommand;  // answered with a failure code (0: none)
  Events events;
};

class InstallationOutcome : public InstallationTest,
                            public testing::WithParamInterface<OutcomeCase> {};

TEST_P(InstallationOutcome, EndsAsTheReturningCameraSays) {
  const OutcomeCase& c = GetParam();
  writePackage(c.package);
  open();
  if (c.faultyCommand != 0) first.setFaults(test::failing(c.faultyCommand, 5));
  const std::shared_ptr<USBDevice> before = model->device();
  model->install();
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_TRUE(model->isWatchdogRunning());
  ASSERT_TRUE(waitUntil([&] { return ended(); }));
  EXPECT_EQ(events, c.events);
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_FALSE(model->isWatchdogRunning());
  // The camera that came back (a new device) was checked by its state and version.
  EXPECT_EQ(model->device() != before, c.events.size() == 3);
  const FirmwareVersion installed = c.faultyCommand == kCmdUpgradeStart ? kShipped : c.package;
  EXPECT_EQ(first.firmwareVersion(), installed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallationOutcome,
    testing::Values(
        OutcomeCase{"SameVersion", {1, 0, 6}, 0, {"started", "verifying", "failed"}},
        OutcomeCase{"NotReady", {1, 1, 0}, sim::kCmdGetState, {"started", "verifying", "failed"}},
        OutcomeCase{"Refused", {1, 1, 0}, sim::kCmdUpgradeStart, {"started", "failed"}}),
    [](const auto& row) { return std::string(row.param.name); });

// The version read on opening failed: the check's own read is the reference for the success
// test, and while the version stays unknown no installation starts.
TEST_F(InstallationTest, AnUnknownStartingVersionRefusesUntilTheCheckReadsIt) {
  first.setFaults(test::failing(sim::kCmdGetVersion, 9));
  open(true);
  const std::size_t transfers = countLogged("CameraInfo, startUpgrade");
  model->install();
  EXPECT_EQ(events, Events{"refused"});
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_EQ(countLogged("CameraInfo, startUpgrade"), transfers + 1);  // the refusal alone

  first.setFaults({});
  bool reread = false;
  model->rereadVersion([&] { reread = true; });
  ASSERT_TRUE(waitUntil([&] { return reread; }));
  EXPECT_EQ(model->currentVersion(), QStringLiteral("1.0.6"));
  model->install();
  ASSERT_TRUE(waitUntil([&] { return ended() && events.back() != "refused"; }));
  EXPECT_EQ(events.back(), "completed");
}

// Another camera arriving during the installation is not the one coming back; the watchdog
// gives up at its twelfth tick of ten seconds without checking any camera.
TEST_F(InstallationTest, TheWatchdogIgnoresAnotherCameraAndGivesUpAfter120Seconds) {
  first.setRestartDelay(std::chrono::hours(1));  // the camera never comes back
  open();
  model->setTickInterval(std::chrono::hours(1));
  const std::size_t stateChecks = countLogged("CameraInfo, getState");
  model->install();
  ASSERT_TRUE(waitUntil([&] { return !first.isAttached(); }));
  plug(second);
  ASSERT_TRUE(waitUntil([] {
    return test::logged(
        "CameraInfo, usbHidManager(_:didAttach:), getSerialNumber, 0, Optional(\"VXK31D2612002\")");
  }));
  EXPECT_TRUE(platform.firmwareInstalling());
  EXPECT_EQ(model->device()->serialNumber(), std::optional<std::string>("VXK31D2612001"));
  double gaveUpAt = 0;
  QObject::connect(model.get(), &FirmwareInstallation::timedOut,
                   [&] { gaveUpAt = model->totalTime(); });
  model->setTickInterval(1ms);
  ASSERT_TRUE(waitUntil([&] { return ended(); }));
  EXPECT_EQ(events, (Events{"started", "timedOut"}));
  EXPECT_EQ(gaveUpAt, FirmwareInstallation::timeoutSeconds);
  EXPECT_FALSE(platform.firmwareInstalling());
  EXPECT_FALSE(model->isWatchdogRunning());
  EXPECT_TRUE(test::logged("CameraInfo, startTimer(), 超时未检测到设备插入"));
  EXPECT_EQ(countLogged("CameraInfo, getState"), stateChecks);
}

}  // namespace
}  // namespace vexhal
