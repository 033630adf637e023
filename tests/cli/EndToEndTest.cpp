// vexhalctl as a script runs it, against a running `vexhaltools --demo`: every request goes
// over the program's socket and is carried out on its virtual camera. Neither process has a
// display in its environment but the program's offscreen platform; each test has its own
// runtime, config and cache folders.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

#include "FirmwareImage.h"

namespace vexhal {
namespace {

struct CtlRun {
  int exit = -1;
  QByteArray out;
  QByteArray err;

  QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};

class DemoProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"config", "cache", "run", "home"}) {
      ASSERT_TRUE(QDir(scratch_.path()).mkdir(dir));
    }
    QFile::setPermissions(scratch_.filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env_.insert("PATH", qEnvironmentVariable("PATH"));
    env_.insert("HOME", scratch_.filePath("home"));
    env_.insert("XDG_CONFIG_HOME", scratch_.filePath("config"));
    env_.insert("XDG_CACHE_HOME", scratch_.filePath("cache"));
    env_.insert("XDG_RUNTIME_DIR", scratch_.filePath("run"));
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (qEnvironmentVariableIsSet(name)) env_.insert(name, qEnvironmentVariable(name));
    }
    QProcessEnvironment programEnv = env_;
    programEnv.insert("QT_QPA_PLATFORM", "offscreen");
    program_.setProcessEnvironment(programEnv);
    program_.start(QStringLiteral(VEXHALTOOLS_BIN), {QStringLiteral("--demo")});
    ASSERT_TRUE(program_.waitForStarted());
    // Up once the program answers with its virtual camera connected.
    const bool up = QTest::qWaitFor(
        [this] {
          const CtlRun list = ctl({"list", "--json"});
          const QJsonArray cameras = list.json().array();
          if (list.exit != 0 || cameras.size() != 1) return false;
          camera_ = cameras[0].toObject();
          return camera_["state"] == "connected";
        },
        30000);
    ASSERT_TRUE(up) << program_.readAllStandardError().toStdString();
  }

  void TearDown() override {
    if (program_.state() == QProcess::NotRunning) return;
    program_.terminate();
    EXPECT_TRUE(program_.waitForFinished(30000));
    EXPECT_EQ(program_.exitCode(), 0) << program_.readAllStandardError().toStdString();
  }

  // vexhalctl with `arguments`, to its end; no display in its environment.
  CtlRun ctl(const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(env_);
    process.start(QStringLiteral(VEXHALCTL_BIN), arguments);
    CtlRun run;
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      ADD_FAILURE() << "vexhalctl " << arguments.join(' ').toStdString() << " did not end";
      return run;
    }
    run.exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
  }

  QJsonObject values() {
    const CtlRun get = ctl({"get", "--json"});
    EXPECT_EQ(get.exit, 0) << get.err.toStdString();
    return get.json().object();
  }

  void sim(const QString& line) {
    QProcess tool;
    tool.setProcessEnvironment(env_);
    tool.start(QStringLiteral(VEXHAL_SIM_BIN), line.split(' '));
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << line.toStdString() << tool.readAll().toStdString();
  }

  // A firmware package for the virtual camera announcing version 1.0.9.
  QString writePackage(int payloadBytes) {
    const QString path = scratch_.filePath("camera-1.0.9.bin");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sim::buildFirmwareImage({1, 0, 9}, QByteArray(payloadBytes, 'f')));
    return path;
  }

  QString sendRaw(const QByteArray& bytes) {
    QLocalSocket peer;
    peer.connectToServer(scratch_.filePath("run/vexhaltools.socket"));
    if (!peer.waitForConnected(5000)) return "no connection";
    peer.write(bytes);
    peer.waitForBytesWritten(5000);
    QByteArray answer;
    while (peer.state() == QLocalSocket::ConnectedState && peer.waitForReadyRead(15000)) {
      answer += peer.readAll();
    }
    return QString::fromUtf8(answer + peer.readAll());
  }

  QTemporaryDir scratch_;
  QProcessEnvironment env_;
  QProcess program_;
  QJsonObject camera_;
};

// list, get, set with its words, ranges and exclusions, and save, each read back from the
// camera the program holds.
TEST_F(DemoProgramTest, ListGetSetAndSaveThroughTheRunningProgram) {
  for (const char* key :
       {"serial", "name", "version", "state", "location", "hidraw", "video", "access"}) {
    EXPECT_TRUE(camera_.contains(key)) << key;
  }
  EXPECT_EQ(camera_["access"], "ok");
  EXPECT_TRUE(camera_["location"].toString().startsWith("0x"));
  const QString serial = camera_["serial"].toString();
  ASSERT_FALSE(serial.isEmpty());
  EXPECT_TRUE(ctl({"list"}).out.startsWith("SERIAL "));

  struct Round {
    QStringList set;
    QJsonObject expected;
  };
  const Round rounds[] = {
      {{"auto-framing=on", "framing-mode=single", "angle=60", "mirror=on", "pickup=low",
        "brightness=78", "contrast=100", "saturation=120", "sharpness=178"},
       {{"auto-framing", true},
        {"people-box", false},
        {"framing-mode", "single"},
        {"angle", 60},
        {"mirror", true},
        {"pickup", "low"},
        {"brightness", 78},
        {"contrast", 100},
        {"saturation", 120},
        {"sharpness", 178}}},
      // On, people-box switches auto-framing off; values out of range are clamped.
      {{"people-box=on", "framing-mode=meeting", "angle=120", "mirror=off", "pickup=high",
        "brightness=500", "sharpness=10"},
       {{"auto-framing", false},
        {"people-box", true},
        {"framing-mode", "meeting"},
        {"angle", 120},
        {"mirror", false},
        {"pickup", "high"},
        {"brightness", 178},
        {"sharpness", 78}}},
      {{"auto-framing=on", "angle=90", "pickup=medium"},
       {{"auto-framing", true}, {"people-box", false}, {"angle", 90}, {"pickup", "medium"}}},
  };
  for (const Round& round : rounds) {
    const CtlRun set =
        ctl(QStringList{"--camera", serial, "set"} + round.set + QStringList{"--json"});
    EXPECT_EQ(set.exit, 0) << set.err.toStdString();
    EXPECT_EQ(set.json().object()["ok"], true) << set.out.toStdString();
    const QJsonObject now = values();
    for (auto it = round.expected.begin(); it != round.expected.end(); ++it) {
      EXPECT_EQ(now[it.key()], it.value()) << it.key().toStdString();
    }
  }
  for (const char* preset : {"standard", "bright", "vivid"}) {
    EXPECT_EQ(ctl({"set", QStringLiteral("preset=%1").arg(preset)}).exit, 0) << preset;
  }
  const CtlRun two = ctl({"get", "angle", "mirror"});
  EXPECT_EQ(two.exit, 0);
  EXPECT_EQ(two.out.split('\n').size(), 3) << two.out.toStdString();

  const CtlRun save = ctl({"save", "--json"});
  EXPECT_EQ(save.exit, 0) << save.err.toStdString();
  EXPECT_EQ(save.json().object()["ok"], true);
  QFile settings(scratch_.filePath("config/VexhalTools/VexhalTools.conf"));
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  EXPECT_TRUE(settings.readAll().contains(serial.toUtf8())) << "the record for the serial";
}

// An unknown camera and a camera that does not answer come back through the program with
// their exit codes; the firmware is installed, its new version checked, and the same version
// again is a failure.
TEST_F(DemoProgramTest, FailuresAndFirmwareThroughTheRunningProgram) {
  const CtlRun missing = ctl({"--camera", "NOSUCHSERIAL", "get", "--json"});
  EXPECT_EQ(missing.exit, 3);
  EXPECT_EQ(missing.json().object()["ok"], false);
  EXPECT_TRUE(missing.err.startsWith("vexhalctl: "));

  sim("fault no-reply get-angle");
  const CtlRun silent = ctl({"get", "angle", "--timeout", "1"});
  EXPECT_EQ(silent.exit, 4) << silent.err.toStdString();
  sim("fault clear");

  const QString package = writePackage(64 * 1024);
  const CtlRun firmware = ctl({"firmware", package, "--json"});
  EXPECT_EQ(firmware.exit, 0) << firmware.err.toStdString();
  EXPECT_EQ(firmware.json().object()["ok"], true);
  EXPECT_TRUE(firmware.err.contains("100%\n")) << "progress lines off a terminal";
  EXPECT_EQ(ctl({"list", "--json"}).json().array()[0].toObject()["version"], "1.0.9");
  const CtlRun again = ctl({"firmware", package, "--json"});
  EXPECT_EQ(again.exit, 1) << again.err.toStdString();
  EXPECT_EQ(again.json().object()["ok"], false);
}

// Garbage, a line of another version, an endless line, a peer that says nothing and one that
// leaves before its answer: each is turned away or dropped, and the program still answers.
TEST_F(DemoProgramTest, HostilePeersDoNotHurtTheProgram) {
  QLocalSocket silent;
  silent.connectToServer(scratch_.filePath("run/vexhaltools.socket"));
  ASSERT_TRUE(silent.waitForConnected(5000));

  for (const QByteArray& line : {QByteArray("hello\n"), QByteArray("[1,2]\n"),
                                 QByteArray("{\"v\":99,\"command\":\"list\"}\n")}) {
    const QString answer = sendRaw(line);
    const QJsonObject reply = QJsonDocument::fromJson(answer.toUtf8()).object();
    EXPECT_EQ(reply["exit"], 2) << line.toStdString() << answer.toStdString();
    EXPECT_EQ(reply["ok"], false);
  }
  EXPECT_EQ(sendRaw(QByteArray(200 * 1024, 'x')), "") << "an endless line is cut off";
  {
    QLocalSocket leaving;
    leaving.connectToServer(scratch_.filePath("run/vexhaltools.socket"));
    ASSERT_TRUE(leaving.waitForConnected(5000));
    leaving.write("{\"v\":1,\"command\":\"set\",\"settings\":[\"angle=120\"]}\n");
    leaving.waitForBytesWritten(5000);
    leaving.abort();
  }
  const CtlRun get = ctl({"get", "angle", "--json"});
  EXPECT_EQ(get.exit, 0) << get.err.toStdString();
  EXPECT_EQ(get.json().object()["angle"], 120) << "the request of a peer that left still ran";
  EXPECT_EQ(program_.state(), QProcess::Running);
  EXPECT_EQ(silent.state(), QLocalSocket::ConnectedState) << "a silent peer is only let be";
}

// A program that stops answering, or dies while a request runs, gives exit 4, never a hang.
TEST_F(DemoProgramTest, AProgramThatStopsOrDiesGivesExitFour) {
  const auto pid = static_cast<pid_t>(program_.processId());
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  const CtlRun stopped = ctl({"get", "--timeout", "1"});
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  EXPECT_EQ(stopped.exit, 4) << stopped.err.toStdString();

  // A slow camera keeps the transfer going while the program is killed.
  sim("fault slow 200");
  const QString package = writePackage(256 * 1024);
  QProcess firmware;
  firmware.setProcessEnvironment(env_);
  firmware.start(QStringLiteral(VEXHALCTL_BIN), {"firmware", package, "--timeout", "60"});
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return firmware.readAllStandardError().contains("%\n"); }, 30000))
      << "the transfer started";
  program_.kill();
  ASSERT_TRUE(firmware.waitForFinished(30000));
  EXPECT_EQ(firmware.exitCode(), 4);
  EXPECT_TRUE(firmware.readAllStandardError().contains("vexhalctl: "));
}

}  // namespace
}  // namespace vexhal
