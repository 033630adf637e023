// vexhalctl against anchors measured in the same run:
// (a) wall time of `vexhalctl --json get` with one camera, process start to exit, median of 20,
//     next to `v4l2-ctl --list-ctrls` on the camera's video node when a real camera with one is
//     present (the kernel rig; vexhalctl opens it itself). Otherwise the camera is the virtual
//     one of a `vexhaltools --demo` this bench starts, reached over the program's socket, and
//     the anchor is a Qt Core program that starts and quits its event loop, with `v4l2-ctl
//     --help` shown beside it. The bench says which anchor it used.
// (b) a 16 MiB firmware transfer through `vexhalctl firmware --no-wait` to the demo's camera,
//     next to the same transfer through the screens' installation model in this process (from
//     install() until the camera, having taken the image, goes away to restart).
// Usage: cli_bench [--rounds N] [--vexhalctl PATH] [--vexhaltools PATH] [--vexhal-sim PATH]
//        [--qt-core-start PATH]   (the programs default to this build tree's)
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "FirmwareImage.h"
#include "SimHidDiscovery.h"
#include "VirtualCamera.h"
#include "device/hid/USBHidManager.h"
#include "platform/Platform.h"
#include "section/camera_info/FirmwareInstallation.h"
#include "section/camera_info/UpgradeState.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using vexhal::sim::FirmwareVersion;

constexpr int kStartRounds = 20;
constexpr qsizetype kPackageSize = 16 * 1024 * 1024;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs `argv` with its output thrown away; the wall time from spawn to exit in milliseconds,
// or nothing when it could not start or did not exit with 0.
std::optional<double> timeRun(const QStringList& argv) {
  std::vector<QByteArray> bytes;
  for (const QString& arg : argv) bytes.push_back(arg.toLocal8Bit());
  std::vector<char*> args;
  for (QByteArray& arg : bytes) args.push_back(arg.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const auto start = Clock::now();
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid) return std::nullopt;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s exited with status %d\n", qPrintable(argv.join(u' ')),
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return std::nullopt;
  }
  return ms;
}

// The output of `argv` (bounded to ten seconds), or nothing when it failed.
std::optional<QByteArray> output(const QStringList& argv) {
  QProcess process;
  process.start(argv.first(), argv.mid(1));
  if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    process.kill();
    process.waitForFinished(1000);
    return std::nullopt;
  }
  return process.readAllStandardOutput();
}

// The cameras `vexhalctl list` reports.
QJsonArray listCameras(const QString& ctl) {
  const auto text = output({ctl, QStringLiteral("--json"), QStringLiteral("list")});
  return text ? QJsonDocument::fromJson(*text).array() : QJsonArray();
}

// Waits up to `seconds` for the only camera to be connected with `version` (any when empty).
bool waitForCamera(const QString& ctl, const QString& version, int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < end) {
    const QJsonArray cameras = listCameras(ctl);
    if (cameras.size() == 1) {
      const QJsonObject camera = cameras.first().toObject();
      if (camera.value(QStringLiteral("state")).toString() == QStringLiteral("connected") &&
          (version.isEmpty() || camera.value(QStringLiteral("version")).toString() == version)) {
        return true;
      }
    }
    QThread::msleep(100);
  }
  return false;
}

QByteArray package(FirmwareVersion version) {
  QByteArray payload(kPackageSize - static_cast<qsizetype>(vexhal::sim::kFirmwareHeaderSize +
                                                           vexhal::sim::kFirmwareTrailerSize),
                     '\0');
  for (qsizetype i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 31 + 7);
  return vexhal::sim::buildFirmwareImage(version, payload);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A new version for each round, so that every transfer is one the camera accepts.
FirmwareVersion roundVersion(int round) { return {1, static_cast<std::uint8_t>(10 + round), 0}; }

// (b) through the command line: the demo's camera takes each package and comes back with it.
std::optional<double> cliTransfer(const QString& ctl, const QString& folder, int round) {
  const FirmwareVersion version = roundVersion(round);
  const QString file = QDir(folder).filePath(QStringLiteral("firmware-%1.bin").arg(round));
  if (!writeFile(file, package(version))) return std::nullopt;
  const auto ms = timeRun({ctl, QStringLiteral("firmware"), QStringLiteral("--no-wait"), file});
  QFile::remove(file);
  if (ms && !waitForCamera(ctl, QString::fromStdString(version.text()), 30)) {
    std::fprintf(stderr, "the demo's camera did not come back with %s\n", version.text().c_str());
    return std::nullopt;
  }
  return ms;
}

// Runs the event loop until `done` holds; false after `seconds`.
template <typename Done>
bool spinUntil(Done done, int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

// (b) through the screens' model, on a virtual camera of this process under a HID manager.
std::optional<double> modelTransfer(int round) {
  vexhal::sim::VirtualCamera camera;
  camera.setRestartDelay(std::chrono::milliseconds(0));
  vexhal::USBHidManager manager(
      std::make_unique<vexhal::sim::SimHidDiscovery>(std::vector{&camera}));
  vexhal::Platform platform;
  manager.startMonitoringForVendorID(camera.vendorId(), camera.productId());
  camera.plug();
  if (!spinUntil([&] { return !manager.devices().empty(); }, 5) ||
      !writeFile(vexhal::firmwarePackagePath(), package(roundVersion(round)))) {
    return std::nullopt;
  }
  vexhal::FirmwareInstallation model(manager.devices().front(), platform);
  model.readInfo();
  if (!spinUntil([&] { return !model.currentVersion().isEmpty(); }, 5)) return std::nullopt;
  // The camera comes back at once: keep the moment it first went.
  std::optional<Clock::time_point> went;
  const int listener = camera.addAttachListener([&went](bool attached) {
    if (!attached && !went) went = Clock::now();
  });
  const auto start = Clock::now();
  model.install();
  const bool taken = spinUntil([&] { return went.has_value(); }, 60);
  camera.removeAttachListener(listener);
  if (!taken) {
    std::fprintf(stderr, "the in-process camera did not take the package\n");
    return std::nullopt;
  }
  const double ms = std::chrono::duration<double, std::milli>(*went - start).count();
  return ms - static_cast<double>(vexhal::sim::VirtualCamera::kDefaultRebootDelay.count());
}

// (a) for one camera: `vexhalctl --json get` and the anchor, alternately, each `kStartRounds`
// times; false when either failed.
bool measureGet(const QString& ctl, const QStringList& anchor, const QString& anchorName,
                const char* camera) {
  const QStringList get{ctl, QStringLiteral("--json"), QStringLiteral("get")};
  const auto reply = output(get);
  if (!reply || !QJsonDocument::fromJson(*reply).isObject()) {
    std::fprintf(stderr, "vexhalctl --json get gave no settings object\n");
    return false;
  }
  std::vector<double> gets;
  std::vector<double> anchors;
  for (int i = 0; i < kStartRounds; ++i) {
    const auto getMs = timeRun(get);
    const auto anchorMs = timeRun(anchor);
    if (!getMs || !anchorMs) return false;
    gets.push_back(*getMs);
    anchors.push_back(*anchorMs);
  }
  std::printf("vexhalctl --json get, process start to exit, median of %d (camera: %s)\n",
              kStartRounds, camera);
  std::printf("  vexhalctl --json get : %8.2f ms\n", median(gets));
  std::printf("  anchor               : %8.2f ms (%s)\n", median(anchors), qPrintable(anchorName));
  std::printf("  ratio get/anchor     : %8.2f\n", median(gets) / median(anchors));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Settings, caches (the model's package file) and the demo's socket in a private folder.
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  const QString runtime = home.filePath(QStringLiteral("run"));
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toLocal8Bit());
  QCoreApplication app(argc, argv);

  // The programs default to this build tree's; elsewhere (the kernel rig) they are named.
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("vexhalctl against its anchors"));
  parser.addHelpOption();
  const auto path = [](const char* name, const char* what, const char* builtIn) {
    return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(what),
                              QStringLiteral("path"), QString::fromLocal8Bit(builtIn));
  };
  const QCommandLineOption ctlOption = path("vexhalctl", "vexhalctl", VEXHALCTL_PATH);
  const QCommandLineOption toolsOption =
      path("vexhaltools", "the program, started with --demo", VEXHALTOOLS_PATH);
  const QCommandLineOption simOption =
      path("vexhal-sim", "the virtual camera's control tool", VEXHAL_SIM_PATH);
  const QCommandLineOption anchorOption =
      path("qt-core-start", "the Qt Core anchor program", QT_CORE_START_PATH);
  const QCommandLineOption roundsOption(QStringLiteral("rounds"),
                                        QStringLiteral("firmware transfers each way (0: none)"),
                                        QStringLiteral("count"), QStringLiteral("5"));
  parser.addOptions({ctlOption, toolsOption, simOption, anchorOption, roundsOption});
  parser.process(app);
  const QString ctl = parser.value(ctlOption);
  const int transferRounds = std::max(0, parser.value(roundsOption).toInt());
  const QString v4l2 = QStandardPaths::findExecutable(QStringLiteral("v4l2-ctl"));

  // (a) on a real camera with a video node (the kernel rig), which vexhalctl opens itself.
  bool measured = false;
  const QJsonArray present = listCameras(ctl);
  const QString videoNode =
      present.size() == 1 ? present.first().toObject().value(QStringLiteral("video")).toString()
                          : QString();
  if (!videoNode.isEmpty() && !v4l2.isEmpty()) {
    if (!measureGet(ctl, {v4l2, QStringLiteral("-d"), videoNode, QStringLiteral("--list-ctrls")},
                    QStringLiteral("v4l2-ctl --list-ctrls on ") + videoNode,
                    "the real camera, opened by vexhalctl")) {
      return 1;
    }
    measured = true;
  }
  if (measured && transferRounds == 0) return 0;

  // From here on, the demo's virtual camera through the running program's socket.
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  QProcess demo;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  demo.setProcessEnvironment(environment);
  demo.setStandardOutputFile(QProcess::nullDevice());
  demo.setStandardErrorFile(QProcess::nullDevice());
  const auto finish = [&demo](int status) {
    demo.terminate();
    if (!demo.waitForFinished(10000)) demo.kill();
    demo.waitForFinished(5000);
    return status;
  };
  demo.start(parser.value(toolsOption), {QStringLiteral("--demo")});
  if (!demo.waitForStarted(10000) || !waitForCamera(ctl, QString(), 30)) {
    std::fprintf(stderr, "the demo's camera did not appear\n");
    return finish(1);
  }
  if (!measured) {
    if (!measureGet(ctl, {parser.value(anchorOption)},
                    QStringLiteral("no video node here: a Qt Core program starting and quitting "
                                   "its event loop"),
                    "the demo's virtual camera, through the running program's socket")) {
      return finish(1);
    }
    if (!v4l2.isEmpty()) {
      std::vector<double> helps;
      for (int i = 0; i < kStartRounds; ++i) {
        const auto ms = timeRun({v4l2, QStringLiteral("--help")});
        if (!ms) return finish(1);
        helps.push_back(*ms);
      }
      std::printf("  v4l2-ctl --help      : %8.2f ms (beside the anchor, no camera involved)\n",
                  median(helps));
    }
  }
  if (transferRounds == 0) return finish(0);

  // (b) The demo's camera restarts at once after each package instead of after three seconds.
  if (!timeRun({parser.value(simOption), QStringLiteral("restart-delay"), QStringLiteral("0")})) {
    return finish(1);
  }
  std::vector<double> cli;
  std::vector<double> model;
  for (int round = 0; round < transferRounds; ++round) {
    const auto viaCli = cliTransfer(ctl, home.path(), round);
    const auto viaModel = modelTransfer(round);
    if (!viaCli || !viaModel) return finish(1);
    cli.push_back(*viaCli);
    model.push_back(*viaModel);
  }
  std::printf("16 MiB firmware transfer to a virtual camera, median of %d\n", transferRounds);
  std::printf("  vexhalctl firmware --no-wait : %8.1f ms (process start to exit)\n", median(cli));
  std::printf("  installation model in-process: %8.1f ms (install() to the camera's restart)\n",
              median(model));
  std::printf("  ratio command line/model     : %8.2f\n", median(cli) / median(model));
  return finish(0);
}
