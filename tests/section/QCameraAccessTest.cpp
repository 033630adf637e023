#include <QDir>
#include <QMessageBox>

#include <cerrno>
#include <map>

#include "../device/hid/HidTestSupport.h"
#include "common/UiTestSupport.h"
#include "device/hid/USBHidManager.h"
#include "section/camera_list/QCameraAccess.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraListVC.h"

namespace vexhal {
namespace {

constexpr std::int64_t kLocation = 0x03142000;
const QString kHidraw = QStringLiteral("/dev/hidraw3");
const QString kVideo = QStringLiteral("/dev/video2");
const HidDeviceRecord kRecord{kHidraw.toStdString(), 0xB206, 0xB215, kLocation};
const char* const kRule = "/usr/lib/udev/rules.d/70-vexhaltools.rules";

void writeFile(const QString& path, const QByteArray& text = "x") {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// A fake tree with a camera whose video node is kVideo; what opening a node gives is the test's.
struct FakeTree {
  FakeTree() {
    system.root = dir.path();
    system.openError = [this](const QString& path) {
      const auto it = errors.find(path.mid(dir.path().size()));
      return it != errors.end() ? it->second : 0;
    };
    system.videoNodes = [](std::int64_t id) {
      return id == kLocation ? QStringList{kVideo} : QStringList{};
    };
    system.accessGroup = [this](const QString& path) {
      return path.endsWith(kVideo) ? videoGroup : QString();
    };
    system.prefixes = {QStringLiteral("/usr")};
  }
  void add(const QString& path, const QByteArray& text = "x") {
    writeFile(system.rooted(path), text);
  }

  QTemporaryDir dir;
  QCameraAccessSystem system;
  std::map<QString, int> errors;
  QString videoGroup = QStringLiteral("video");
};

struct AccessCase {
  const char* name;
  int hidError;  // 0: the control node was opened
  int videoError;
  const char* file;  // a file of the system: a rule, a copy beside the program, the sandbox's info
  const char* prefix;  // where the program is installed
  const char* snap;
  int remote;         // 1: a remote session, 2: one without the device's group
  const char* node;   // the node the problem names; empty: access is granted
  const char* alert;  // a phrase of the alert's message
  const char* fix;    // a phrase of the steps behind "Setting"
};

class AccessTable : public ::testing::TestWithParam<AccessCase> {};

TEST_P(AccessTable, NamesTheNodeAndTheFix) {
  const AccessCase& c = GetParam();
  FakeTree tree;
  tree.errors[kVideo] = c.videoError;
  if (*c.file != '\0')
    tree.add(QString::fromLatin1(c.file), "[Application]\nname=org.test.Vexhal\n");
  tree.system.prefixes = {QString::fromLatin1(c.prefix)};
  if (*c.snap != '\0') tree.system.snapName = QString::fromLatin1(c.snap);
  tree.system.remoteSession = c.remote > 0;
  if (c.remote == 2) tree.videoGroup.clear();
  test::CameraEnd end;
  const auto device = c.hidError != 0 ? std::make_shared<USBDevice>(kRecord, UniqueFd(), c.hidError)
                                      : std::make_shared<USBDevice>(kRecord, end.takeHostFd());

  const auto problem = QCameraAccess::diagnose(*device, tree.system);
  if (*c.node == '\0') {
    EXPECT_FALSE(problem) << problem->path.toStdString();
    return;
  }
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->path, QString::fromLatin1(c.node));
  const QString alert = QCameraAccess::explain(*problem, tree.system);
  const QString fix = QCameraAccess::fixSteps(*problem, tree.system);
  EXPECT_TRUE(alert.contains(QString::fromLatin1(c.node))) << alert.toStdString();
  EXPECT_TRUE(alert.contains(QString::fromLatin1(c.alert))) << alert.toStdString();
  EXPECT_TRUE(fix.contains(QString::fromLatin1(c.fix).toHtmlEscaped())) << fix.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    FakeTree, AccessTable,
    ::testing::Values(
        AccessCase{"BothFine", 0, 0, kRule, "/usr", "", 0, "", "", ""},
        AccessCase{"VideoNodeStillBeingSetUp", 0, ENOENT, "", "/usr", "", 0, "", "", ""},
        AccessCase{"HidrawRefusedRuleInstalled", EACCES, 0, kRule, "/usr", "", 0, "/dev/hidraw3",
                   "unplug the camera and plug it in again",
                   "sudo udevadm trigger --subsystem-match=hidraw"},
        AccessCase{"HidrawRefusedRuleInEtc", EPERM, 0, "/etc/udev/rules.d/70-vexhaltools.rules",
                   "/usr", "", 0, "/dev/hidraw3", "installed but not yet applied",
                   "/etc/udev/rules.d/70-vexhaltools.rules"},
        AccessCase{"HidrawRefusedRuleMissingCopyBesideProgram", EACCES, 0,
                   "/opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules", "/opt/vexhal", "", 0,
                   "/dev/hidraw3", "is not installed",
                   "sudo install -m 644 /opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules "
                   "/etc/udev/rules.d/"},
        AccessCase{"HidrawRefusedNoRuleAnywhere", EACCES, 0, "", "/usr", "", 0, "/dev/hidraw3",
                   "is not installed", "sudo install -m 644 packaging/70-vexhaltools.rules"},
        AccessCase{"VideoRefused", 0, EACCES, kRule, "/usr", "", 0, "/dev/video2", "video node",
                   "sudo udevadm control --reload-rules"},
        AccessCase{"HidrawRefusedBeforeVideo", EACCES, EACCES, kRule, "/usr", "", 0, "/dev/hidraw3",
                   "control node", "udevadm"},
        AccessCase{"VideoBusy", 0, EBUSY, kRule, "/usr", "", 0, "/dev/video2",
                   "Another program is using it", "fuser -v /dev/video2"},
        AccessCase{"VideoGone", 0, ENODEV, kRule, "/usr", "", 0, "/dev/video2", "plug it in again",
                   "another USB port"},
        AccessCase{"RemoteVideoGroup", 0, EACCES, "", "/usr", "", 1, "/dev/video2",
                   "group membership", "sudo usermod -aG video \"$USER\""},
        AccessCase{"RemoteHidrawWithoutGroup", EACCES, 0, "", "/usr", "", 2, "/dev/hidraw3",
                   "computer's own seat", "GROUP=\"plugdev\", MODE=\"0660\""},
        AccessCase{"FlatpakHidrawRefused", EACCES, 0, "/.flatpak-info", "/usr", "", 0,
                   "/dev/hidraw3", "Flatpak sandbox",
                   "flatpak override --user --device=all org.test.Vexhal"},
        AccessCase{"FlatpakHidesVideoNode", 0, ENOENT, "/.flatpak-info", "/usr", "", 0,
                   "/dev/video2", "Flatpak sandbox", "--device=all"},
        AccessCase{"SnapVideoRefused", 0, EACCES, "", "/usr", "vexhal-snap", 0, "/dev/video2",
                   "snap", "sudo snap connect vexhal-snap:camera"},
        AccessCase{"SnapHidrawRefused", EACCES, 0, "", "/usr", "vexhal-snap", 0, "/dev/hidraw3",
                   "snap", "sudo snap connect vexhal-snap:hidraw"}),
    [](const ::testing::TestParamInfo<AccessCase>& param) { return param.param.name; });

// A checker that only says no keeps the general message; the packaged help wins over the built-in.
TEST(AccessText, TheGeneralMessageAndThePackagedHelp) {
  FakeTree tree;
  EXPECT_EQ(
      QCameraAccess::explain(QCameraAccessProblem{}, tree.system),
      QStringLiteral(
          "Please allow Vexhaltools access to your camera in Security and Privacy under System "
          "Preferences."));
  EXPECT_TRUE(QCameraAccess::fixSteps(QCameraAccessProblem{}, tree.system)
                  .contains(QStringLiteral("70-vexhaltools.rules")));
  QTemporaryDir data;
  tree.system.dataDirs = {data.path() + "/missing", data.path()};
  writeFile(data.path() + "/vexhaltools/device-access.txt", "packaged help\n");
  EXPECT_EQ(QCameraAccess::helpText(tree.system), QStringLiteral("packaged help\n"));
  tree.system.dataDirs = {data.path() + "/missing"};
  const QString builtIn = QCameraAccess::helpText(tree.system);
  EXPECT_TRUE(builtIn.startsWith(QStringLiteral("Camera access on Linux")))
      << builtIn.toStdString();
  EXPECT_TRUE(builtIn.contains(QStringLiteral("70-vexhaltools.rules")));
}

// Discovery over socketpairs whose control node is refused until the test grants it.
struct RefusingDiscovery : HidDiscovery {
  int start(std::uint16_t, std::uint16_t, Events all) override {
    events = std::move(all);
    return 0;
  }
  UniqueFd open(const HidDeviceRecord& device) override { return tryOpen(device).fd; }
  OpenResult tryOpen(const HidDeviceRecord&) override {
    if (refused) return OpenResult{UniqueFd(), EACCES};
    cameraEnd = std::make_unique<test::CameraEnd>();
    return OpenResult{cameraEnd->takeHostFd(), 0};
  }

  bool refused = true;
  std::unique_ptr<test::CameraEnd> cameraEnd;
  Events events;
};

struct InaccessibleCameraList : ::testing::Test {
  InaccessibleCameraList() {
    tree->add(QString::fromLatin1(kRule));
    platform.setAccessSystem(std::shared_ptr<const QCameraAccessSystem>(tree, &tree->system));
    auto owned = std::make_unique<RefusingDiscovery>();
    discovery = owned.get();
    manager = std::make_unique<USBHidManager>(std::move(owned));
    manager->startMonitoringForVendorID(0xB206, 0xB215);
    list =
        std::make_unique<QCameraListVC>(platform, *manager, QDataBase(settings.filePath("s.ini")));
    list->resize(800, 600);
    list->show();
    discovery->events.arrived(kRecord);
  }
  QString stateText() const {
    return list->cellAt(0) ? list->cellAt(0)->stateLabel()->text() : QStringLiteral("<no row>");
  }

  QTemporaryDir settings;
  Platform platform;
  std::shared_ptr<FakeTree> tree = std::make_shared<FakeTree>();
  RefusingDiscovery* discovery = nullptr;
  std::unique_ptr<USBHidManager> manager;
  std::unique_ptr<QCameraListVC> list;
};

TEST_F(InaccessibleCameraList, ShowsTheRowAndATapExplainsTheRefusedControlNode) {
  ASSERT_EQ(list->cameraArr().size(), 1U);
  EXPECT_EQ(list->tableView()->rowCount(), 2);
  EXPECT_EQ(stateText(), QStringLiteral("No access"));
  QTest::mouseClick(list->cellAt(0)->cameraBtn(), Qt::LeftButton);
  ASSERT_TRUE(test::waitUntil([&] { return list->permissionAlert() != nullptr; }));
  QAlertController* alert = list->permissionAlert();
  EXPECT_EQ(alert->alertTitle(), QStringLiteral("Unable to use the camera"));
  EXPECT_TRUE(alert->alertMessage()->contains(kHidraw)) << alert->alertMessage()->toStdString();
  EXPECT_EQ(test::actionTitles(alert), (QStringList{"Setting", "Cancel"}));
  // "Setting" opens the help with the fix for this very node.
  test::choose(alert, QStringLiteral("Setting"));
  QMessageBox* help = nullptr;
  ASSERT_TRUE(test::waitUntil([&] { return (help = test::shown<QMessageBox>()) != nullptr; }));
  EXPECT_TRUE(help->informativeText().contains(kHidraw));
  EXPECT_TRUE(help->informativeText().contains(QStringLiteral("udevadm trigger")));
  EXPECT_FALSE(help->detailedText().isEmpty());
  help->close();
}

TEST_F(InaccessibleCameraList, AGrantedPermissionMakesTheCameraUsableWithoutReplugging) {
  ASSERT_EQ(stateText(), QStringLiteral("No access"));
  discovery->refused = false;
  discovery->events.changed(kRecord);
  ASSERT_EQ(list->cameraArr().size(), 1U);
  EXPECT_TRUE(list->cameraArr().front()->isOpen());
  EXPECT_EQ(stateText(), QString());
  for (const hid_cmd_pack_t& request : discovery->cameraEnd->requests()) {
    if (request.head.cmd.get() == 0x5000)
      discovery->cameraEnd->reply(0x5000, 0);  // getState: ready
  }
  EXPECT_TRUE(test::waitUntil([&] { return stateText() == QStringLiteral("Connected"); }));
  EXPECT_FALSE(QCameraAccess::check(*list->cameraArr().front(), platform));
}

}  // namespace
}  // namespace vexhal
