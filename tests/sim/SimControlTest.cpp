// Controlling a running virtual camera: the control lines, the local server and the
// vexhal-sim tool.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "CameraCommand.h"
#include "SimTestSupport.h"
#include "VirtualCameraRig.h"

namespace vexhal::sim {
namespace {

using test::waitUntil;

struct LineCase {
  const char* line;
  const char* answerStart;
  std::function<bool(const VirtualCamera&)> holds;
};

class ControlLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ControlLine, ChangesTheCameraOrIsRefused) {
  test::ensureCoreApplication();
  VirtualCameraRig rig;
  const QString answer = rig.execute(QString::fromLatin1(GetParam().line));
  EXPECT_TRUE(answer.startsWith(QLatin1String(GetParam().answerStart))) << answer.toStdString();
  EXPECT_TRUE(GetParam().holds(rig.camera())) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ControlLine,
    ::testing::Values(
        LineCase{"unplug", "ok", [](const VirtualCamera& c) { return !c.isAttached(); }},
        LineCase{"  plug ", "ok", [](const VirtualCamera& c) { return c.isAttached(); }},
        LineCase{
            "fault error set-angle 5", "ok",
            [](const VirtualCamera& c) { return c.faults().errorCodes.at(kCmdSetAngle) == 5; }},
        LineCase{
            "fault error 0x5000 0x10", "ok",
            [](const VirtualCamera& c) { return c.faults().errorCodes.at(kCmdGetState) == 16; }},
        LineCase{
            "fault no-reply version", "ok",
            [](const VirtualCamera& c) { return c.faults().noReply.contains(kCmdGetVersion); }},
        LineCase{
            "fault garbage upgrade-data", "ok",
            [](const VirtualCamera& c) { return c.faults().garbage.contains(kCmdUpgradeData); }},
        LineCase{"fault slow 250", "ok",
                 [](const VirtualCamera& c) { return c.faults().replyDelay.count() == 250; }},
        LineCase{"fault detach-after 12", "ok",
                 [](const VirtualCamera& c) { return c.faults().detachAfterPacket == 12; }},
        LineCase{"fault never-return on", "ok",
                 [](const VirtualCamera& c) { return c.faults().neverReturn; }},
        LineCase{"fault 4k on", "ok",
                 [](const VirtualCamera& c) { return c.faults().otherProgramCaptures4K; }},
        LineCase{"fault clear", "ok", [](const VirtualCamera& c) { return !c.faults().any(); }},
        LineCase{"fault error set-angel 5", "error",
                 [](const VirtualCamera& c) { return !c.faults().any(); }},
        LineCase{"fault slow -3", "error",
                 [](const VirtualCamera& c) { return !c.faults().any(); }},
        LineCase{"fault 4k maybe", "error",
                 [](const VirtualCamera& c) { return !c.faults().any(); }},
        LineCase{"explode", "error", [](const VirtualCamera& c) { return c.isAttached(); }},
        LineCase{"", "error", [](const VirtualCamera& c) { return c.isAttached(); }},
        LineCase{"status", "ok attached serial=VXK31D2612001 version=1.0.6 state=ready",
                 [](const VirtualCamera& c) { return c.isAttached(); }}));

// A program hosting a rig with its control server, as the demo does, in a runtime folder of
// its own.
struct ServedRig : ::testing::Test {
  ServedRig() {
    test::ensureCoreApplication();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    name = QStringLiteral("vexhal-sim-test-%1").arg(QCoreApplication::applicationPid());
    QString error;
    listening = rig.listen(name, &error);
    EXPECT_TRUE(listening) << error.toStdString();
  }

  // Runs the tool as a user would, keeping the event loop (and so the server) going.
  std::pair<int, QString> tool(const QStringList& words) {
    QProcess process;
    process.start(QStringLiteral(VEXHAL_SIM_TOOL), QStringList{"--server", name} + words);
    EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
  }

  ~ServedRig() override {
    if (savedRuntime.isNull()) {
      qunsetenv("XDG_RUNTIME_DIR");
    } else {
      qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }
  }

  QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
  QTemporaryDir runtime;
  VirtualCameraRig rig;
  QString name;
  bool listening = false;
};

TEST_F(ServedRig, TheSocketLivesInTheUsersRuntimeFolderWhereTheToolFindsIt) {
  ASSERT_TRUE(rig.listen());
  EXPECT_TRUE(QFileInfo(runtime.filePath(QStringLiteral("vexhal-sim"))).exists());
  QProcess process;
  process.start(QStringLiteral(VEXHAL_SIM_TOOL), QStringList{"status"});
  ASSERT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  // A folder others may write to could let them replace the socket: it is refused.
  QFile::setPermissions(runtime.path(), QFile::permissions(runtime.path()) | QFile::WriteOther);
  EXPECT_FALSE(rig.listen());
}

TEST_F(ServedRig, TheToolPlugsAndUnplugsTheCameraOfARunningProgram) {
  ASSERT_TRUE(listening);
  USBHidManager manager(rig.makeDiscovery());
  manager.startMonitoringForVendorID(test::kVendorId, test::kProductId);
  ASSERT_TRUE(waitUntil([&] { return manager.devices().size() == 1; }));

  EXPECT_EQ(tool({"unplug"}), std::make_pair(0, QStringLiteral("ok detached")));
  EXPECT_TRUE(manager.devices().empty());
  EXPECT_EQ(tool({"plug"}).first, 0);
  EXPECT_TRUE(waitUntil([&] { return manager.devices().size() == 1; }));
  EXPECT_EQ(tool({"fault", "bogus"}).first, 1);
}

TEST_F(ServedRig, TheToolReportsAProgramItCannotReach) {
  QProcess process;
  process.start(QStringLiteral(VEXHAL_SIM_TOOL),
                QStringList{"--server", name + "-absent", "status"});
  ASSERT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
  EXPECT_EQ(process.exitCode(), 2);
}

TEST_F(ServedRig, SeveralLinesOnOneConnectionAreAnsweredInOrder) {
  ASSERT_TRUE(listening);
  QLocalSocket socket;
  socket.connectToServer(runtime.filePath(name));
  ASSERT_TRUE(waitUntil([&] { return socket.state() == QLocalSocket::ConnectedState; }));
  socket.write("fault slow 5\nunplug\nstatus\n");
  QStringList answers;
  ASSERT_TRUE(waitUntil([&] {
    while (socket.canReadLine()) answers << QString::fromUtf8(socket.readLine()).trimmed();
    return answers.size() == 3;
  }));
  EXPECT_EQ(answers[0], "ok slow 5");
  EXPECT_EQ(answers[1], "ok detached");
  EXPECT_TRUE(answers[2].startsWith("ok detached")) << answers[2].toStdString();
  EXPECT_TRUE(answers[2].endsWith("faults=some"));
}

}  // namespace
}  // namespace vexhal::sim
