// The program itself, started in the background on the rig's camera, holds the camera at its
// stored image settings: against another program that sets a control through the video node, and
// after a wake-up told by the login manager.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "KernelRig.h"
#include "section/camera_control/QDataBase.h"

namespace vexhal::kernel::test {
namespace {

constexpr int kProcessMs = 30000;

// A private bus that stands in for the system bus; the test owns the login manager's name on it.
struct PrivateSystemBus {
  PrivateSystemBus() {
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    if (daemon.waitForStarted(kProcessMs) &&
        (daemon.canReadLine() || daemon.waitForReadyRead(kProcessMs)))
      address = QString::fromUtf8(daemon.readLine()).trimmed();
  }
  ~PrivateSystemBus() {
    daemon.terminate();
    daemon.waitForFinished(kProcessMs);
  }
  // The login manager tells that the machine wakes up.
  bool wake() {
    QDBusConnection logind = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
    if (!logind.registerService(QStringLiteral("org.freedesktop.login1"))) return false;
    QDBusMessage message = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    return logind.send(message << false);
  }

  QProcess daemon;
  QString address;
};

// The program's own log lines, for a failure's message.
std::string programLog(const QString& home) {
  std::string text;
  QDirIterator files(home, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
  while (files.hasNext()) {
    QFile file(files.next());
    if (file.open(QIODevice::ReadOnly)) text += file.readAll().right(6000).toStdString();
  }
  return text;
}

TEST(SettingsKeeperRig, TheProgramPutsBackWhatAnotherProgramChangesAndReappliesOnWakeUp) {
  GadgetCamera rig;
  QTemporaryDir home;
  const QString config = home.filePath(QStringLiteral("config"));
  // The record the user saved earlier for this camera.
  const QDataBase store(config + QStringLiteral("/VexhalTools/VexhalTools.conf"));
  ASSERT_TRUE(store.setUVCParams({QUVCParams::ImageMode::custom, 150, 120, 110, 100},
                                 QString::fromStdString(rig.camera().serialNumber())));
  PrivateSystemBus bus;
  ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
  env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address);
  program.setProcessEnvironment(env);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  const std::size_t start = uvcLogLines().size();
  program.start(QStringLiteral(VEXHAL_PROGRAM), {QStringLiteral("--background")});
  ASSERT_TRUE(program.waitForStarted(kProcessMs));

  // The record reaches the camera once the program has read the serial number.
  const auto applied = waitForUvcLogLine(start, uvcSetLine(kUvcBrightness, 150));
  ASSERT_TRUE(applied) << "the stored brightness was never sent\n" << programLog(home.path());
  ASSERT_TRUE(waitForUvcLogLine(*applied, uvcSetLine(kUvcSharpness, 100)));

  // A call program sets brightness through the video node, as it would on opening the camera.
  QProcess other;
  other.start(QStringLiteral("v4l2-ctl"),
              {QStringLiteral("-d"), QString::fromStdString(rigVariable("RIG_VIDEO")),
               QStringLiteral("--set-ctrl=brightness=90")});
  ASSERT_TRUE(other.waitForFinished(kProcessMs)) << "v4l2-ctl is not installed";
  ASSERT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
  const auto moved = waitForUvcLogLine(*applied, uvcSetLine(kUvcBrightness, 90));
  ASSERT_TRUE(moved);
  const auto restored = waitForUvcLogLine(*moved, uvcSetLine(kUvcBrightness, 150));
  EXPECT_TRUE(restored) << "the other program's change was left in place";

  // After a wake-up every held value is sent again.
  ASSERT_TRUE(bus.wake());
  EXPECT_TRUE(waitForUvcLogLine(restored.value_or(*moved) + 1, uvcSetLine(kUvcBrightness, 150)))
      << "nothing was re-applied after the wake-up";

  program.terminate();
  ASSERT_TRUE(program.waitForFinished(kProcessMs));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace vexhal::kernel::test
