// vexhalctl as a script runs it, against a running `vexhaltools --demo`: every request goes over
// the program's socket and is carried out on its virtual camera. vexhalctl has no display in its
// environment; each test has its own runtime, config and cache folders.
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

  QJsonObject object() const { return QJsonDocument::fromJson(out).object(); }
};

class DemoProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QStringList variables{"HOME=home", "XDG_CONFIG_HOME=config", "XDG_CACHE_HOME=cache",
                                "XDG_RUNTIME_DIR=run"};
    for (const QString& variable : variables) {
      ASSERT_TRUE(QDir(scratch_.path()).mkdir(variable.section('=', 1)));
      env_.insert(variable.section('=', 0, 0), scratch_.filePath(variable.section('=', 1)));
    }
    QFile::setPermissions(scratch_.filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      env_.remove(display);
    }
    QProcessEnvironment programEnv = env_;
    programEnv.insert("QT_QPA_PLATFORM", "offscreen");
    program_.setProcessEnvironment(programEnv);
    program_.start(QStringLiteral(VEXHALTOOLS_BIN), {QStringLiteral("--demo")});
    ASSERT_TRUE(program_.waitForStarted());
    // Up once the program answers with its virtual camera connected.
    const auto up = [this] {
      const QJsonArray cameras = QJsonDocument::fromJson(ctl({"list", "--json"}).out).array();
      camera_ = cameras.size() == 1 ? cameras[0].toObject() : QJsonObject();
      return camera_["state"] == "connected";
    };
    ASSERT_TRUE(QTest::qWaitFor(up, 30000)) << program_.readAllStandardError().toStdString();
  }

  void TearDown() override {
    if (program_.state() == QProcess::NotRunning) return;
    program_.terminate();
    EXPECT_TRUE(program_.waitForFinished(30000));
    EXPECT_EQ(program_.exitCode(), 0) << program_.readAllStandardError().toStdString();
  }

  CtlRun ctl(const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(env_);
    process.setWorkingDirectory(scratch_.path());
    process.start(QStringLiteral(VEXHALCTL_BIN), arguments);
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      ADD_FAILURE() << "vexhalctl " << arguments.join(' ').toStdString() << " did not end";
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
  }

  void sim(const QString& line) {
    QProcess tool;
    tool.setProcessEnvironment(env_);
    tool.start(QStringLiteral(VEXHAL_SIM_BIN), line.split(' '));
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << line.toStdString();
  }

  // A firmware package for the virtual camera announcing version 1.0.9.
  QString writePackage(int payloadBytes) {
    const QString path = scratch_.filePath("camera-1.0.9.bin");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sim::buildFirmwareImage({1, 0, 9}, QByteArray(payloadBytes, 'f')));
    return path;
  }

  // Sends `bytes` on a connection of its own; what the program answered until it closed.
  QByteArray sendRaw(const QByteArray& bytes) {
    QLocalSocket peer;
    peer.connectToServer(socketPath());
    EXPECT_TRUE(peer.waitForConnected(5000));
    peer.write(bytes);
    QByteArray answer;
    while (peer.state() == QLocalSocket::ConnectedState && peer.waitForReadyRead(15000)) {
      answer += peer.readAll();
    }
    return answer + peer.readAll();
  }

  QString socketPath() const { return scratch_.filePath("run/vexhaltools.socket"); }

  QTemporaryDir scratch_;
  QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
  QProcess program_;
  QJsonObject camera_;
};

// list, get, set with its words, ranges and exclusions, and save, each read back from the camera
// the program holds; an unknown camera is exit 3. The diagnostics zip named relative to
// vexhalctl's folder is written there by the program.
TEST_F(DemoProgramTest, ListGetSetSaveAndDiagnosticsThroughTheRunningProgram) {
  for (const char* key : {"serial", "name", "version", "location", "hidraw", "video"}) {
    EXPECT_TRUE(camera_.contains(key)) << key;
  }
  EXPECT_EQ(camera_["access"], "ok");
  EXPECT_TRUE(camera_["location"].toString().startsWith("0x"));
  // A script's pipe gets the answer alone: a JSON reader takes all of stdout.
  QProcess pipe;
  pipe.setProcessEnvironment(env_);
  pipe.start("bash", {"-o", "pipefail", "-c", "\"$0\" list --json | python3 -m json.tool",
                      QStringLiteral(VEXHALCTL_BIN)});
  ASSERT_TRUE(pipe.waitForFinished(60000));
  EXPECT_EQ(pipe.exitCode(), 0) << pipe.readAllStandardError().toStdString();
  const QString serial = camera_["serial"].toString();

  const struct {
    QStringList set;
    QJsonObject expected;
  } rounds[] = {
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
      {{"people-box=on", "angle=90", "mirror=off", "preset=vivid", "brightness=500"},
       {{"auto-framing", false}, {"people-box", true}, {"mirror", false}, {"brightness", 178}}},
      {{"auto-framing=on"}, {{"auto-framing", true}, {"people-box", false}}},
  };
  for (const auto& round : rounds) {
    const CtlRun set = ctl(QStringList{"--camera", serial, "--json", "set"} + round.set);
    EXPECT_EQ(set.exit, 0) << set.err.toStdString();
    EXPECT_EQ(set.object()["ok"], true) << set.out.toStdString();
    const QJsonObject now = ctl({"get", "--json"}).object();
    for (auto it = round.expected.begin(); it != round.expected.end(); ++it) {
      EXPECT_EQ(now[it.key()], it.value()) << it.key().toStdString();
    }
  }
  EXPECT_EQ(ctl({"get", "mirror", "angle"}).out, "angle   90\nmirror  off\n");

  EXPECT_EQ(ctl({"save", "--json"}).object()["ok"], true);
  QFile settings(scratch_.filePath("config/VexhalTools/VexhalTools.conf"));
  ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
  EXPECT_TRUE(settings.readAll().contains(serial.toUtf8())) << "the record for the serial";

  const CtlRun missing = ctl({"--camera", "NOSUCHSERIAL", "get", "--json"});
  EXPECT_EQ(missing.exit, 3);
  EXPECT_EQ(missing.object()["ok"], false);

  const CtlRun diagnostics = ctl({"diagnostics", "-o", "support.zip", "--mask-serial", "--json"});
  EXPECT_EQ(diagnostics.exit, 0) << diagnostics.err.toStdString();
  const QString zip = scratch_.filePath("support.zip");
  EXPECT_EQ(diagnostics.object()["result"].toObject()["path"], zip);
  EXPECT_GT(QFile(zip).size(), 0);
}

// A further control set and read through the program; a preset saved, exported, and brought
// back from a file made under other ranges: the apply says what it scaled. A file that is not a
// preset is refused with exit 2.
TEST_F(DemoProgramTest, FurtherControlsAndPresetsThroughTheRunningProgram) {
  const CtlRun set = ctl({"set", "gain=40", "power-line-frequency=60 Hz", "--json"});
  EXPECT_EQ(set.exit, 0) << set.err.toStdString();
  EXPECT_EQ(ctl({"get", "gain", "power-line-frequency", "--json"}).object(),
            (QJsonObject{{"gain", 40}, {"power-line-frequency", "60 Hz"}}));
  EXPECT_EQ(ctl({"preset", "save", "Studio"}).exit, 0);
  const CtlRun exported = ctl({"preset", "export", "--all", "all.vexhal-preset.json"});
  ASSERT_EQ(exported.exit, 0) << exported.err.toStdString();

  // The same preset as a camera whose gain goes to 200 saved it: 40 there is 20 here.
  QFile all(scratch_.filePath("all.vexhal-preset.json"));
  ASSERT_TRUE(all.open(QIODevice::ReadOnly));
  QJsonObject root = QJsonDocument::fromJson(all.readAll()).object();
  QJsonObject preset = root["presets"][0].toObject();
  QJsonObject controls = preset["controls"].toObject();
  QJsonObject gain = controls["gain"].toObject();
  gain["maximum"] = 200;
  controls["gain"] = gain;
  preset["controls"] = controls;
  preset["name"] = "Wide";
  root["presets"] = QJsonArray{preset};
  QFile wide(scratch_.filePath("wide.vexhal-preset.json"));
  ASSERT_TRUE(wide.open(QIODevice::WriteOnly));
  wide.write(QJsonDocument(root).toJson());
  wide.close();
  const CtlRun imported = ctl({"preset", "import", "wide.vexhal-preset.json"});
  EXPECT_EQ(imported.exit, 0) << imported.err.toStdString();
  EXPECT_TRUE(imported.out.contains("Added: Wide")) << imported.out.toStdString();

  const CtlRun applied = ctl({"preset", "apply", "Wide", "--json"});
  EXPECT_EQ(applied.exit, 0) << applied.err.toStdString();
  const QJsonArray adjusted = applied.object()["adjusted"].toArray();
  ASSERT_EQ(adjusted.size(), 1) << applied.out.toStdString();
  EXPECT_EQ(adjusted[0]["control"], "gain");
  EXPECT_EQ(adjusted[0]["to"], 20);
  EXPECT_EQ(ctl({"get", "gain", "--json"}).object()["gain"], 20);

  QFile hostile(scratch_.filePath("hostile.vexhal-preset.json"));
  ASSERT_TRUE(hostile.open(QIODevice::WriteOnly));
  hostile.write(R"({"format":"vexhal-preset","version":99,"presets":[]})");
  hostile.close();
  const CtlRun refused = ctl({"preset", "import", "hostile.vexhal-preset.json"});
  EXPECT_EQ(refused.exit, 2);
  EXPECT_TRUE(refused.err.contains("was not imported")) << refused.err.toStdString();
}

// A camera that does not answer is exit 4; the firmware is installed with progress, its new
// version checked, and the same version again is a failure.
TEST_F(DemoProgramTest, SilentCameraAndFirmwareThroughTheRunningProgram) {
  sim("fault no-reply get-angle");
  EXPECT_EQ(ctl({"get", "angle", "--timeout", "1"}).exit, 4);
  sim("fault clear");

  const QString package = writePackage(64 * 1024);
  const CtlRun firmware = ctl({"firmware", package, "--json"});
  EXPECT_EQ(firmware.exit, 0) << firmware.err.toStdString();
  EXPECT_EQ(firmware.object()["ok"], true);
  EXPECT_TRUE(firmware.err.contains("100%\n")) << "progress lines off a terminal";
  const QJsonArray cameras = QJsonDocument::fromJson(ctl({"list", "--json"}).out).array();
  EXPECT_EQ(cameras[0].toObject()["version"], "1.0.9");
  const CtlRun again = ctl({"firmware", package, "--json"});
  EXPECT_EQ(again.exit, 1) << again.err.toStdString();
  EXPECT_EQ(again.object()["ok"], false);
}

// `vexhalctl demo` works the running demo's virtual camera: unplugged it leaves the list, plugged
// back it returns; an unknown line is a usage failure, and so is any demo line once no demo runs.
TEST_F(DemoProgramTest, VexhalctlUnplugsAndPlugsTheDemoCamera) {
  const auto connected = [this] {
    const QJsonArray cameras = QJsonDocument::fromJson(ctl({"list", "--json"}).out).array();
    return cameras.size() == 1 && cameras[0].toObject()["state"] == "connected";
  };
  const CtlRun unplug = ctl({"demo", "unplug"});
  EXPECT_EQ(unplug.exit, 0) << unplug.err.toStdString();
  EXPECT_EQ(unplug.out, "detached\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !connected(); }, 15000));
  EXPECT_EQ(ctl({"demo", "plug"}).exit, 0);
  EXPECT_TRUE(QTest::qWaitFor(connected, 15000));
  const CtlRun unknown = ctl({"demo", "fly", "--json"});
  EXPECT_EQ(unknown.exit, 2);
  EXPECT_EQ(unknown.object()["ok"], false);
  EXPECT_TRUE(unknown.object()["message"].toString().startsWith("unknown command: fly"));

  program_.terminate();
  ASSERT_TRUE(program_.waitForFinished(30000));
  const CtlRun alone = ctl({"demo", "status"});
  EXPECT_EQ(alone.exit, 2);
  EXPECT_TRUE(alone.err.contains("no VexhalTools demo is running")) << alone.err.toStdString();
}

// Garbage, a line of another version, an endless line, a silent peer and one that leaves before
// its answer: each is turned away or let be, and the program still answers the others.
TEST_F(DemoProgramTest, HostilePeersDoNotHurtTheProgram) {
  QLocalSocket silent;
  silent.connectToServer(socketPath());
  ASSERT_TRUE(silent.waitForConnected(5000));
  for (const QByteArray line : {"hello\n", "[1,2]\n", "{\"v\":99,\"command\":\"list\"}\n"}) {
    const QJsonObject reply = QJsonDocument::fromJson(sendRaw(line)).object();
    EXPECT_EQ(reply["exit"], 2) << line.toStdString();
  }
  EXPECT_EQ(sendRaw(QByteArray(200 * 1024, 'x')), "") << "an endless line is cut off";
  QLocalSocket leaving;
  leaving.connectToServer(socketPath());
  ASSERT_TRUE(leaving.waitForConnected(5000));
  leaving.write("{\"v\":1,\"command\":\"set\",\"settings\":[\"angle=120\"]}\n");
  leaving.waitForBytesWritten(5000);
  leaving.abort();

  const CtlRun get = ctl({"get", "angle", "--json"});
  EXPECT_EQ(get.exit, 0) << get.err.toStdString();
  EXPECT_EQ(get.object()["angle"], 120) << "the request of a peer that left still ran";
}

// A program that stops answering, or dies while a request runs, gives exit 4, never a hang;
// afterwards the diagnostics still carry its logs.
TEST_F(DemoProgramTest, AProgramThatStopsOrDiesGivesExitFour) {
  const auto pid = static_cast<pid_t>(program_.processId());
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  const CtlRun stopped = ctl({"get", "--timeout", "1"});
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  EXPECT_EQ(stopped.exit, 4) << stopped.err.toStdString();

  // A slow camera keeps the transfer going while the program is killed.
  sim("fault slow 200");
  QProcess firmware;
  firmware.setProcessEnvironment(env_);
  firmware.start(QStringLiteral(VEXHALCTL_BIN),
                 {"firmware", writePackage(256 * 1024), "--timeout", "60"});
  QByteArray progress;
  const auto started = [&] {
    return (progress += firmware.readAllStandardError()).contains("%\n");
  };
  ASSERT_TRUE(QTest::qWaitFor(started, 30000)) << "the transfer started";
  program_.kill();
  ASSERT_TRUE(program_.waitForFinished(30000));
  ASSERT_TRUE(firmware.waitForFinished(30000));
  EXPECT_EQ(firmware.exitCode(), 4);

  // With no program running, vexhalctl packs the program's logs, not only its own. Entry names
  // are stored uncompressed in the zip.
  EXPECT_EQ(ctl({"diagnostics", "-o", "direct.zip"}).exit, 0);
  QFile direct(scratch_.filePath("direct.zip"));
  ASSERT_TRUE(direct.open(QIODevice::ReadOnly));
  EXPECT_TRUE(direct.readAll().contains("logs/VexhalTools_"));
}

}  // namespace
}  // namespace vexhal
