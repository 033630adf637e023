#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <map>
#include <string>

#include "../device/hid/HidTestSupport.h"
#include "platform/CameraDoctor.h"
#include "platform/QCameraAccess.h"

namespace vexhal {
namespace {

constexpr std::int64_t kLocation = 0x03142000;
const char* const kHid = "/dev/hidraw3";
const char* const kVid = "/dev/video2";

void writeFile(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// The system around the camera: "rule" (installed where the package puts it), "etc" (installed
// by hand), "copy" (only beside the program), "none", "remote" (a session with the node's group),
// "remote-nogroup", "flatpak" or "snap" (neither with the rule).
struct AccessCase {
  const char* name;
  int hidError;  // 0: the control node was opened
  int videoError;
  const char* system;
  const char* node;    // the node the problem names; empty: access is granted
  const char* alert;   // a phrase of the alert's message
  const char* fix;     // a phrase of the steps behind "Setting"
  const char* doctor;  // the doctor's verdict on that node, and the refusal
};

class AccessTable : public ::testing::TestWithParam<AccessCase> {};

// A fake tree with a camera whose video node is kVid and opens with the case's error.
TEST_P(AccessTable, NamesTheNodeAndTheFix) {
  const AccessCase& c = GetParam();
  const std::string kind = c.system;
  QTemporaryDir dir;
  QCameraAccessSystem system;
  system.root = dir.path();
  const QString video = QString::fromLatin1(kVid);
  system.openError = [&](const QString& path) { return path.endsWith(video) ? c.videoError : 0; };
  system.videoNodes = [&](std::int64_t id) {
    return id == kLocation ? QStringList{video} : QStringList{};
  };
  system.accessGroup = [&](const QString& path) {
    return path.endsWith(video) && kind == "remote" ? QStringLiteral("video") : QString();
  };
  system.prefixes = {QStringLiteral("/opt/vexhal")};
  system.snapName = kind == "snap" ? QStringLiteral("vexhal-snap") : QString();
  system.remoteSession = kind.starts_with("remote");
  const std::map<std::string, const char*> files = {
      {"rule", "/usr/lib/udev/rules.d/70-vexhaltools.rules"},
      {"etc", "/etc/udev/rules.d/70-vexhaltools.rules"},
      {"copy", "/opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules"},
      {"flatpak", "/.flatpak-info"}};
  if (const auto file = files.find(kind); file != files.end()) {
    writeFile(system.rooted(QString::fromLatin1(file->second)),
              "[Application]\nname=org.test.Vexhal\n");
  }
  test::ensureCoreApplication();
  test::CameraEnd end;
  const USBDevice device({kHid, 0xB206, 0xB215, kLocation},
                         c.hidError != 0 ? UniqueFd() : end.takeHostFd(), c.hidError);

  const auto problem = QCameraAccess::diagnose(device, system);
  const CameraDiagnosis diagnosis = CameraDoctor::examine(device, system);
  ASSERT_EQ(diagnosis.nodes.size(), 2U);
  EXPECT_EQ(diagnosis.usable(), *c.node == '\0');
  if (*c.node == '\0') {
    EXPECT_FALSE(problem) << problem->path.toStdString();
    return;
  }
  // The doctor's plain words carry the same node and commands as the alert's rich ones.
  const NodeFinding found = *diagnosis.firstProblem();
  EXPECT_EQ(
      CameraDoctor::verdictWord(found.verdict) + '/' + CameraDoctor::refusalWord(found.refusal),
      QString::fromLatin1(c.doctor));
  EXPECT_TRUE(found.summary.contains(QString::fromLatin1(c.node))) << found.summary.toStdString();
  EXPECT_TRUE(found.fix.contains(QString::fromLatin1(c.fix))) << found.fix.toStdString();
  EXPECT_FALSE(found.fix.contains('<')) << found.fix.toStdString();
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->path, QString::fromLatin1(c.node));
  const QString alert = QCameraAccess::explain(*problem, system);
  const QString fix = QCameraAccess::fixSteps(*problem, system);
  EXPECT_TRUE(alert.contains(QString::fromLatin1(c.node))) << alert.toStdString();
  EXPECT_TRUE(alert.contains(QString::fromLatin1(c.alert))) << alert.toStdString();
  EXPECT_TRUE(fix.contains(QString::fromLatin1(c.fix).toHtmlEscaped())) << fix.toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(FakeTree, AccessTable, ::testing::Values(
    AccessCase{"BothFine", 0, 0, "rule", "", "", "", ""},
    AccessCase{"VideoNodeStillBeingSetUp", 0, ENOENT, "none", "", "", "", ""},
    AccessCase{"HidrawRefusedRuleInstalled", EACCES, 0, "rule", kHid, "unplug the camera and plug it in again", "sudo udevadm trigger --subsystem-match=hidraw", "refused/rule-not-applied"},
    AccessCase{"HidrawRefusedRuleInEtc", EPERM, 0, "etc", kHid, "installed but not yet applied", "/etc/udev/rules.d/70-vexhaltools.rules", "refused/rule-not-applied"},
    AccessCase{"HidrawRefusedCopyBesideProgram", EACCES, 0, "copy", kHid, "is not installed", "install -m 644 /opt/vexhal/lib/udev/rules.d/70-vexhaltools.rules /etc/udev/rules.d/", "refused/rule-missing"},
    AccessCase{"HidrawRefusedNoRuleAnywhere", EACCES, 0, "none", kHid, "is not installed", "install -m 644 packaging/70-vexhaltools.rules", "refused/rule-missing"},
    AccessCase{"VideoRefused", 0, EACCES, "rule", kVid, "video node", "sudo udevadm control --reload-rules", "refused/rule-not-applied"},
    AccessCase{"VideoBusy", 0, EBUSY, "rule", kVid, "Another program is using it", "fuser -v /dev/video2", "busy/none"},
    AccessCase{"NoCamera", ENODEV, 0, "rule", kHid, "plug it in again", "another USB port", "missing/none"},
    AccessCase{"VideoFails", 0, EIO, "rule", kVid, "press Setting", "journalctl -k", "failed/none"},
    AccessCase{"VideoGone", 0, ENODEV, "rule", kVid, "plug it in again", "another USB port", "missing/none"},
    AccessCase{"RemoteVideoGroup", 0, EACCES, "remote", kVid, "group membership", "sudo usermod -aG video \"$USER\"", "refused/not-seat-user"},
    AccessCase{"RemoteHidrawWithoutGroup", EACCES, 0, "remote-nogroup", kHid, "computer's own seat", "GROUP=\"plugdev\", MODE=\"0660\"", "refused/not-seat-user"},
    AccessCase{"FlatpakHidesVideoNode", 0, ENOENT, "flatpak", kVid, "Flatpak sandbox", "flatpak override --user --device=all org.test.Vexhal", "refused/sandbox"},
    AccessCase{"SnapVideoRefused", 0, EACCES, "snap", kVid, "snap", "sudo snap connect vexhal-snap:camera", "refused/sandbox"},
    AccessCase{"SnapHidrawRefused", EACCES, 0, "snap", kHid, "snap", "sudo snap connect vexhal-snap:hidraw", "refused/sandbox"}),
    [](const ::testing::TestParamInfo<AccessCase>& param) { return param.param.name; });
// clang-format on

// The packaged help wins over the built-in one.
TEST(AccessText, ThePackagedHelpWinsOverTheBuiltInOne) {
  QTemporaryDir data;
  QCameraAccessSystem system;
  system.root = data.path() + "/root";
  system.dataDirs = {data.path() + "/missing", data.path()};
  writeFile(data.path() + "/vexhaltools/device-access.txt", "packaged help\n");
  EXPECT_EQ(QCameraAccess::helpText(system), QStringLiteral("packaged help\n"));
  system.dataDirs = {data.path() + "/missing"};
  const QString builtIn = QCameraAccess::helpText(system);
  EXPECT_TRUE(builtIn.startsWith("Camera access on Linux") &&
              builtIn.contains("70-vexhaltools.rules"))
      << builtIn.toStdString();
}

}  // namespace
}  // namespace vexhal
