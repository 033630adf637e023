#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>
#include <string>

#include "common/QAlertController.h"
#include "../device/hid/HidTestSupport.h"
#include "device/hid/USBHidManager.h"
#include "section/camera_list/QCameraAccess.h"
#include "section/camera_list/QCameraCellView.h"
#include "section/camera_list/QCameraListVC.h"

namespace vexhal {
namespace {

constexpr std::int64_t kLocation = 0x03142000;
const QString kHidraw = QStringLiteral("/dev/hidraw3");
const QString kVideo = QStringLiteral("/dev/video2");

void writeFile(const QString& path, const QByteArray& text = "x") {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// A fake tree with a camera whose video node is kVideo; what opening a node gives is the
// test's to say.
struct FakeTree {
  FakeTree() {
    system.root = dir.path();
    system.openError = [this](const QString& path) {
      const auto it = errors.find(path.mid(dir.path().size()));
      return it != errors.end() ? it->second : 0;
    };
    system.videoNodes = [](std::int64_t locationId) {
      return locationId == kLocation ? QStringList{kVideo} : QStringList{};
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

std::shared_ptr<USBDevice> camera(int hidError, test::CameraEnd& end) {
  const HidDeviceRecord record{kHidraw.toStdString(), 0xB206, 0xB215, kLocation};
  return hidError != 0 ? std::make_shared<USBDevice>(record, UniqueFd(), hidError)
                       : std::make_shared<USBDevice>(record, end.takeHostFd());
}

enum class Setup {
  None,
  RuleInstalled,
  RuleInEtc,
  CopyInOpt,
  Flatpak,
  Snap,
  Remote,
  RemoteNoGroup
};

struct AccessCase {
  const char* name;
  int hidError;  // 0: the control node was opened
  int videoError;
  Setup setup;
  const char* node;  // the node the problem names; empty: access is granted
  const char* alert;  // a phrase of the alert's message
  const char* fix;    // a phrase of the steps behind "Setting"
};

class AccessTable : public ::testing::TestWithParam<AccessCase> {};

TEST_P(AccessTable, NamesTheNodeAndTheFix) {
  const AccessCase& c = GetParam();
  FakeTree tree;
  tree.errors[kVideo] = c.videoError;
  switch (c.setup) {
    case Setup::RuleInstalled:
      tree.add(QStringLiteral("/usr/lib/udev/rules.d/70-vexhaltools.rules"));
      break;
    case Setup::RuleInEtc:
      tree.add(QStringLiteral("/etc/udev/rules.d/70-vexhaltools.rules"));
      break;
    case Setup::CopyInOpt:
      tree.system.prefixes = {QStringLiteral("/opt/vexhal")};
      tree.add(QStringLiteral("/opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules"));
      break;
    case Setup::Flatpak:
      tree.add(QStringLiteral("/.flatpak-info"), "[Application]\nname=org.test.Vexhal\n");
      break;
    case Setup::Snap:
      tree.system.snapName = QStringLiteral("vexhal-snap");
      break;
    case Setup::RemoteNoGroup:
      tree.videoGroup.clear();
      [[fallthrough]];
    case Setup::Remote:
      tree.system.remoteSession = true;
      break;
    case Setup::None:
      break;
  }
  test::CameraEnd end;
  const auto device = camera(c.hidError, end);

  const auto problem = QCameraAccess::diagnose(*device, tree.system);
  if (std::string(c.node).empty()) {
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
        AccessCase{"BothFine", 0, 0, Setup::RuleInstalled, "", "", ""},
        AccessCase{"VideoNodeStillBeingSetUp", 0, ENOENT, Setup::None, "", "", ""},
        AccessCase{"HidrawRefusedRuleInstalled", EACCES, 0, Setup::RuleInstalled, "/dev/hidraw3",
                   "unplug the camera and plug it in again",
                   "sudo udevadm trigger --subsystem-match=hidraw"},
        AccessCase{"HidrawRefusedRuleInEtc", EPERM, 0, Setup::RuleInEtc, "/dev/hidraw3",
                   "installed but not yet applied", "/etc/udev/rules.d/70-vexhaltools.rules"},
        AccessCase{"HidrawRefusedRuleMissingCopyBesideProgram", EACCES, 0, Setup::CopyInOpt,
                   "/dev/hidraw3", "is not installed",
                   "sudo install -m 644 /opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules "
                   "/etc/udev/rules.d/"},
        AccessCase{"HidrawRefusedNoRuleAnywhere", EACCES, 0, Setup::None, "/dev/hidraw3",
                   "is not installed", "sudo install -m 644 packaging/70-vexhaltools.rules"},
        AccessCase{"VideoRefused", 0, EACCES, Setup::RuleInstalled, "/dev/video2",
                   "video node", "sudo udevadm control --reload-rules"},
        AccessCase{"HidrawRefusedBeforeVideo", EACCES, EACCES, Setup::RuleInstalled,
                   "/dev/hidraw3", "control node", "udevadm"},
        AccessCase{"VideoBusy", 0, EBUSY, Setup::RuleInstalled, "/dev/video2",
                   "Another program is using it", "fuser -v /dev/video2"},
        AccessCase{"VideoGone", 0, ENODEV, Setup::RuleInstalled, "/dev/video2",
                   "plug it in again", "another USB port"},
        AccessCase{"RemoteVideoGroup", 0, EACCES, Setup::Remote, "/dev/video2",
                   "group membership", "sudo usermod -aG video \"$USER\""},
        AccessCase{"RemoteHidrawWithoutGroup", EACCES, 0, Setup::RemoteNoGroup, "/dev/hidraw3",
                   "computer's own seat", "GROUP=\"plugdev\", MODE=\"0660\""},
        AccessCase{"FlatpakHidrawRefused", EACCES, 0, Setup::Flatpak, "/dev/hidraw3",
                   "Flatpak sandbox", "flatpak override --user --device=all org.test.Vexhal"},
        AccessCase{"FlatpakHidesVideoNode", 0, ENOENT, Setup::Flatpak, "/dev/video2",
                   "Flatpak sandbox", "--device=all"},
        AccessCase{"SnapVideoRefused", 0, EACCES, Setup::Snap, "/dev/video2", "snap",
                   "sudo snap connect vexhal-snap:camera"},
        AccessCase{"SnapHidrawRefused", EACCES, 0, Setup::Snap, "/dev/hidraw3", "snap",
                   "sudo snap connect vexhal-snap:hidraw"}),
    [](const ::testing::TestParamInfo<AccessCase>& param) { return param.param.name; });

TEST(AccessText, ACheckerThatOnlySaysNoKeepsTheGeneralMessage) {
  FakeTree tree;
  const QString alert = QCameraAccess::explain(QCameraAccessProblem{}, tree.system);
  EXPECT_EQ(alert, QStringLiteral("Please allow Vexhaltools access to your camera in Security and "
                                  "Privacy under System Preferences."));
  EXPECT_TRUE(QCameraAccess::fixSteps(QCameraAccessProblem{}, tree.system)
                  .contains(QStringLiteral("70-vexhaltools.rules")));
}

TEST(AccessHelp, ThePackagedTextWinsOverTheBuiltInCopy) {
  QTemporaryDir data;
  FakeTree tree;
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
class RefusingDiscovery : public HidDiscovery {
 public:
  int start(std::uint16_t, std::uint16_t, Events events) override {
    events_ = std::move(events);
    return 0;
  }
  UniqueFd open(const HidDeviceRecord& device) override { return tryOpen(device).fd; }
  OpenResult tryOpen(const HidDeviceRecord&) override {
    if (refused) {
      return OpenResult{UniqueFd(), EACCES};
    }
    cameraEnd = std::make_unique<test::CameraEnd>();
    return OpenResult{cameraEnd->takeHostFd(), 0};
  }
  HidDeviceRecord record() const { return {kHidraw.toStdString(), 0xB206, 0xB215, kLocation}; }
  void plug() { events_.arrived(record()); }
  void change() { events_.changed(record()); }

  // Answers every getState request the camera has received with "ready".
  void answerStates() {
    for (const hid_cmd_pack_t& request : cameraEnd->requests()) {
      if (request.head.cmd.get() == 0x5000) cameraEnd->reply(0x5000, 0);
    }
  }

  bool refused = true;
  std::unique_ptr<test::CameraEnd> cameraEnd;

 private:
  Events events_;
};

struct InaccessibleCameraList : ::testing::Test {
  InaccessibleCameraList() {
    tree->add(QStringLiteral("/usr/lib/udev/rules.d/70-vexhaltools.rules"));
    QCameraAccess::installSystem(std::shared_ptr<const QCameraAccessSystem>(tree, &tree->system));
    auto owned = std::make_unique<RefusingDiscovery>();
    discovery = owned.get();
    manager = std::make_unique<USBHidManager>(std::move(owned));
    manager->startMonitoringForVendorID(0xB206, 0xB215);
    list = std::make_unique<QCameraListVC>(*manager, QDataBase(settings.filePath("s.ini")));
    list->resize(800, 600);
    list->show();
  }
  ~InaccessibleCameraList() override {
    list.reset();
    QCameraAccess::installSystem(nullptr);
  }
  QString stateText() const {
    QCameraCellView* cell = list->cellAt(0);
    return cell != nullptr ? cell->stateLabel()->text() : QStringLiteral("<no row>");
  }

  QTemporaryDir settings;
  std::shared_ptr<FakeTree> tree = std::make_shared<FakeTree>();
  RefusingDiscovery* discovery = nullptr;
  std::unique_ptr<USBHidManager> manager;
  std::unique_ptr<QCameraListVC> list;
};

TEST_F(InaccessibleCameraList, ShowsTheRowAndATapExplainsTheRefusedControlNode) {
  discovery->plug();
  ASSERT_EQ(manager->devices().size(), 1U);
  ASSERT_EQ(list->cameraArr().size(), 1U);
  EXPECT_EQ(list->tableView()->rowCount(), 2);
  EXPECT_EQ(stateText(), QStringLiteral("No access"));

  QTest::mouseClick(list->cellAt(0)->cameraBtn(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->permissionAlert() != nullptr; }, 2000));
  QAlertController* alert = list->permissionAlert();
  EXPECT_EQ(alert->alertTitle(), QStringLiteral("Unable to use the camera"));
  EXPECT_TRUE(alert->alertMessage()->contains(kHidraw)) << alert->alertMessage()->toStdString();
  ASSERT_EQ(alert->actions().size(), 2);

  // "Setting" opens the help with the fix for this very node.
  QTest::mouseClick(alert->actions()[0]->button, Qt::LeftButton);
  QMessageBox* help = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
        help = box;
      }
    }
    return help != nullptr;
  }, 2000));
  EXPECT_TRUE(help->informativeText().contains(kHidraw));
  EXPECT_TRUE(help->informativeText().contains(QStringLiteral("udevadm trigger")));
  EXPECT_FALSE(help->detailedText().isEmpty());
  help->close();
}

TEST_F(InaccessibleCameraList, AGrantedPermissionMakesTheCameraUsableWithoutReplugging) {
  discovery->plug();
  ASSERT_EQ(stateText(), QStringLiteral("No access"));
  discovery->refused = false;
  discovery->change();
  ASSERT_EQ(list->cameraArr().size(), 1U);
  EXPECT_TRUE(list->cameraArr().front()->isOpen());
  EXPECT_EQ(stateText(), QString());
  discovery->answerStates();
  EXPECT_TRUE(QTest::qWaitFor([&] { return stateText() == QStringLiteral("Connected"); }, 2000));
  EXPECT_FALSE(QCameraAccess::check(*list->cameraArr().front()));
}

}  // namespace
}  // namespace vexhal
