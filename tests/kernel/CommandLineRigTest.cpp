// vexhalctl on the rig's camera with no program running: it finds the camera through udev, talks
// to it through hidraw and installs firmware across the camera's restart; its diagnostics and
// doctor name the camera's real nodes and the program that holds its video node.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include "FirmwareImage.h"
#include "KernelRig.h"

namespace vexhal::kernel::test {
namespace {

struct Outcome {
  int exitCode = -1;
  QJsonValue json;
};

class CommandLineRig : public ::testing::Test {
 protected:
  // Runs vexhalctl with --json; this process keeps answering as the camera meanwhile.
  Outcome ctl(QStringList arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());  // no running program here
    env.insert(QStringLiteral("HOME"), dir.path());
    process.setProcessEnvironment(env);
    arguments << QStringLiteral("--json");
    process.start(QStringLiteral(VEXHALCTL), arguments);
    const bool ended =
        waitUntil([&] { return process.state() == QProcess::NotRunning; }, kBusBound);
    EXPECT_TRUE(ended) << arguments.join(' ').toStdString() << " did not end";
    const QByteArray out = process.readAllStandardOutput();
    if (process.exitCode() != 0)
      std::printf("vexhalctl %s: %s%s", arguments.join(' ').toUtf8().constData(), out.constData(),
                  process.readAllStandardError().constData());
    const QJsonDocument document = QJsonDocument::fromJson(out);
    return {ended ? process.exitCode() : -1,
            document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object())};
  }

  GadgetCamera rig;
  QTemporaryDir dir;
};

TEST_F(CommandLineRig, ListGetSetAndFirmwareReachTheCameraThroughUdevAndHidraw) {
  const QString serial = QString::fromStdString(rig.camera().serialNumber());
  Outcome list = ctl({QStringLiteral("list")});
  ASSERT_EQ(list.exitCode, 0);
  ASSERT_EQ(list.json.toArray().size(), 1);
  const QJsonObject camera = list.json.toArray().first().toObject();
  EXPECT_EQ(camera[QStringLiteral("serial")].toString(), serial);
  EXPECT_EQ(camera[QStringLiteral("version")].toString(), QStringLiteral("1.0.6"));
  EXPECT_EQ(camera[QStringLiteral("state")].toString(), QStringLiteral("connected"));
  EXPECT_EQ(camera[QStringLiteral("access")].toString(), QStringLiteral("ok"));
  EXPECT_EQ(camera[QStringLiteral("hidraw")].toString().toStdString(), rigVariable("RIG_HIDRAW"));
  EXPECT_EQ(camera[QStringLiteral("video")].toString().toStdString(), rigVariable("RIG_VIDEO"));

  const Outcome got = ctl({QStringLiteral("get")});
  ASSERT_EQ(got.exitCode, 0);
  EXPECT_EQ(got.json[QStringLiteral("angle")].toInt(), rig.camera().functions().angle);
  EXPECT_EQ(got.json[QStringLiteral("mirror")].toBool(), rig.camera().functions().hMirror);

  const Outcome set = ctl({QStringLiteral("set"), QStringLiteral("angle=90")});
  ASSERT_EQ(set.exitCode, 0);
  EXPECT_TRUE(set.json[QStringLiteral("ok")].toBool());
  EXPECT_EQ(rig.camera().functions().angle, 90);
  EXPECT_EQ(ctl({QStringLiteral("get"), QStringLiteral("angle")}).json[QStringLiteral("angle")],
            90);

  // A package the camera takes: it restarts, comes back under the same serial number and
  // reports the new version.
  QFile package(dir.filePath(QStringLiteral("camera-2.0.0.bin")));
  ASSERT_TRUE(package.open(QIODevice::WriteOnly));
  package.write(sim::buildFirmwareImage({2, 0, 0}, QByteArray(64 * 1024, 'f')));
  package.close();
  const Outcome firmware =
      ctl({QStringLiteral("firmware"), package.fileName(), QStringLiteral("--camera"), serial});
  ASSERT_EQ(firmware.exitCode, 0);
  EXPECT_TRUE(firmware.json[QStringLiteral("ok")].toBool());
  EXPECT_EQ(rig.camera().firmwareVersion(), (sim::FirmwareVersion{2, 0, 0}));
  list = ctl({QStringLiteral("list")});
  EXPECT_EQ(list.json.toArray().first()[QStringLiteral("version")].toString(),
            QStringLiteral("2.0.0"));
}

// With a second program streaming from the video node, the doctor names it; the camera stays
// usable (exit 0), since its controls still work. The diagnostics report names the camera's real
// hidraw and video nodes, the formats the rig offers, its image controls, and the same program in
// the doctor's findings.
TEST_F(CommandLineRig, DiagnosticsAndDoctorNameTheRealNodesAndTheProgramStreaming) {
  const QString hidraw = QString::fromStdString(rigVariable("RIG_HIDRAW"));
  const QString video = QString::fromStdString(rigVariable("RIG_VIDEO"));
  const std::size_t logStart = uvcLogLines().size();
  QProcess holder;
  holder.start(QStringLiteral("v4l2-ctl"),
               {QStringLiteral("-d"), video, QStringLiteral("--stream-mmap"),
                QStringLiteral("--stream-to=/dev/null")});
  ASSERT_TRUE(holder.waitForStarted());
  const qint64 pid = holder.processId();
  // It holds the node once the camera has been told to stream.
  ASSERT_TRUE(waitUntil(
      [&] {
        const std::vector<std::string> lines = uvcLogLines();
        return std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(logStart), lines.end(),
                           [](const std::string& line) {
                             return line.starts_with("SET_CUR streaming selector=2");
                           });
      },
      kBusBound));
  // The finding for the video node names the streaming program.
  const auto namesHolder = [&](const QJsonValue& diagnosis) {
    for (const QJsonValue& node : diagnosis[QStringLiteral("nodes")].toArray()) {
      const QJsonObject held = node[QStringLiteral("holder")].toObject();
      if (node[QStringLiteral("path")].toString() == video &&
          node[QStringLiteral("verdict")].toString() == QStringLiteral("busy") &&
          held[QStringLiteral("pid")].toInteger() == pid &&
          held[QStringLiteral("name")].toString() == QStringLiteral("v4l2-ctl"))
        return true;
    }
    return false;
  };

  const Outcome doctor = ctl({QStringLiteral("doctor")});
  EXPECT_EQ(doctor.exitCode, 0);
  ASSERT_EQ(doctor.json.toArray().size(), 1);
  const QJsonValue found = doctor.json.toArray().first();
  EXPECT_EQ(found[QStringLiteral("camera")].toString(), hidraw);
  EXPECT_TRUE(namesHolder(found)) << QJsonDocument(found.toObject()).toJson().toStdString();

  const QString zipPath = dir.filePath(QStringLiteral("support.zip"));
  const Outcome exported = ctl({QStringLiteral("diagnostics"), QStringLiteral("-o"), zipPath});
  holder.kill();
  holder.waitForFinished();
  ASSERT_EQ(exported.exitCode, 0);
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"),
              {QStringLiteral("-p"), zipPath, QStringLiteral("report.json")});
  ASSERT_TRUE(unzip.waitForFinished());
  const QJsonArray cameras =
      QJsonDocument::fromJson(unzip.readAllStandardOutput())[QStringLiteral("cameras")].toArray();
  ASSERT_EQ(cameras.size(), 1);
  const QJsonValue camera = cameras.first();
  EXPECT_EQ(camera[QStringLiteral("hidraw")][QStringLiteral("path")].toString(), hidraw);
  QStringList videoNodes;
  QStringList sizes;
  for (const QJsonValue& node : camera[QStringLiteral("video")].toArray()) {
    videoNodes << node[QStringLiteral("node")][QStringLiteral("path")].toString();
    for (const QJsonValue& format : node[QStringLiteral("formats")].toArray())
      sizes << QStringLiteral("%1x%2")
                   .arg(format[QStringLiteral("width")].toInt())
                   .arg(format[QStringLiteral("height")].toInt());
  }
  EXPECT_TRUE(videoNodes.contains(video)) << videoNodes.join(' ').toStdString();
  for (const char* size : {"1280x720", "1920x1080", "640x360"})
    EXPECT_TRUE(sizes.contains(QLatin1String(size))) << size;
  QStringList controls;
  for (const QJsonValue& control : camera[QStringLiteral("controls")].toArray())
    controls << control[QStringLiteral("name")].toString();
  for (const char* name : {"brightness", "contrast", "saturation", "sharpness"})
    EXPECT_TRUE(controls.contains(QLatin1String(name))) << name;
  EXPECT_TRUE(namesHolder(camera[QStringLiteral("doctor")]));
}

}  // namespace
}  // namespace vexhal::kernel::test
