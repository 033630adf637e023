// vexhalctl on the rig's camera with no program running: it finds the camera through udev, talks
// to it through hidraw and installs firmware across the camera's restart.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vexhal::kernel::test
