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
#include <zip.h>

#include "FirmwareImage.h"
#include "KernelRig.h"

namespace vexhal::kernel::test {
namespace {

// The entry `name` of the zip at `path`; empty when it cannot be read.
QByteArray zipEntry(const QString& path, const char* name) {
  int error = 0;
  zip_t* zip = zip_open(path.toLocal8Bit().constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (zip == nullptr) return {};
  QByteArray data;
  zip_stat_t stat;
  if (zip_stat(zip, name, 0, &stat) == 0) {
    if (zip_file_t* file = zip_fopen(zip, name, 0)) {
      data.resize(static_cast<qsizetype>(stat.size));
      if (zip_fread(file, data.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
        data.clear();
      }
      zip_fclose(file);
    }
  }
  zip_discard(zip);
  return data;
}

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

// With a second process holding the video node open, the doctor names it (and exits 5 if that
// keeps the camera from being used); the diagnostics report names the real hidraw and video
// nodes, the video formats the rig offers, its image controls, and the same holder.
TEST_F(CommandLineRig, DiagnosticsAndDoctorNameTheRealNodesAndWhoHoldsTheVideoNode) {
  const QString hidraw = QString::fromStdString(rigVariable("RIG_HIDRAW"));
  const QString video = QString::fromStdString(rigVariable("RIG_VIDEO"));
  QProcess holder;
  holder.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"), QStringLiteral("exec 3<>%1 && exec sleep 300").arg(video)});
  ASSERT_TRUE(holder.waitForStarted());
  const qint64 pid = holder.processId();
  // The shell has become sleep once its command name says so.
  ASSERT_TRUE(waitUntil(
      [&] {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        return comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "sleep";
      },
      kBusBound));
  const auto namesHolder = [&](const QJsonValue& nodes) {
    for (const QJsonValue& node : nodes.toArray()) {
      const QJsonObject held = node[QStringLiteral("holder")].toObject();
      if (node[QStringLiteral("path")].toString() == video &&
          held[QStringLiteral("pid")].toInteger() == pid &&
          held[QStringLiteral("name")].toString() == QStringLiteral("sleep"))
        return true;
    }
    return false;
  };

  const Outcome doctor = ctl({QStringLiteral("doctor")});
  ASSERT_EQ(doctor.json.toArray().size(), 1);
  const QJsonObject found = doctor.json.toArray().first().toObject();
  EXPECT_EQ(found[QStringLiteral("camera")].toString(), hidraw);
  EXPECT_TRUE(namesHolder(found[QStringLiteral("nodes")]))
      << doctor.json.toArray().first().toObject().value(QStringLiteral("nodes")).toArray().size();
  EXPECT_EQ(doctor.exitCode, found[QStringLiteral("usable")].toBool() ? 0 : 5);

  const QString zipPath = dir.filePath(QStringLiteral("support.zip"));
  const Outcome exported = ctl({QStringLiteral("diagnostics"), QStringLiteral("-o"), zipPath});
  ASSERT_EQ(exported.exitCode, 0);
  EXPECT_EQ(exported.json[QStringLiteral("result")][QStringLiteral("path")].toString(), zipPath);
  const QByteArray reportText = zipEntry(zipPath, "report.json");
  const QJsonObject report = QJsonDocument::fromJson(reportText).object();
  ASSERT_FALSE(report.isEmpty()) << reportText.left(200).toStdString();
  holder.kill();
  holder.waitForFinished();
  for (const QString& fact : {hidraw, video, QStringLiteral("1280"), QStringLiteral("1920"),
                              QStringLiteral("brightness"), QStringLiteral("sharpness")})
    EXPECT_TRUE(reportText.contains(fact.toUtf8())) << fact.toStdString();
  EXPECT_TRUE(reportText.contains(QStringLiteral("\"pid\":%1").arg(pid).toUtf8()) ||
              reportText.contains(QStringLiteral("\"pid\": %1").arg(pid).toUtf8()));
}

}  // namespace
}  // namespace vexhal::kernel::test
