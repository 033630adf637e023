// The program's entry in the desktop's autostart folder, and wake-ups heard from the login
// manager.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/AutostartEntry.h"
#include "platform/SleepWatcher.h"

namespace vexhal {
namespace {

// The entry for a program in a plain or an awkward place is one the desktop accepts, starts that
// program in the background, and goes when switched off.
TEST(AutostartEntryTest, TheEntryIsValidStartsInTheBackgroundAndGoesWhenOff) {
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  ASSERT_FALSE(validator.isEmpty()) << "desktop-file-utils is not installed";
  QTemporaryDir dir;
  const struct {
    const char* program;
    const char* exec;
  } cases[] = {
      {"/usr/bin/vexhaltools", "\nExec=/usr/bin/vexhaltools --background\n"},
      {"/opt/My Apps/vexhaltools", "\nExec=\"/opt/My Apps/vexhaltools\" --background\n"},
      {R"(/tmp/a"b$c%d\e)", R"(Exec="/tmp/a\\"b\\$c%%d\\\\e" --background)"},
  };
  for (const auto& c : cases) {
    AutostartEntry entry(dir.filePath(QStringLiteral("autostart")), QString::fromUtf8(c.program));
    QString error;
    ASSERT_TRUE(entry.setEnabled(true, &error)) << error.toStdString();
    QFile file(entry.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(c.exec)) << c.program;
    QProcess validate;
    validate.start(validator, {entry.filePath()});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << c.program << ": " << validate.readAll().toStdString();
    ASSERT_TRUE(entry.setEnabled(false, &error)) << error.toStdString();
    EXPECT_FALSE(entry.isEnabled());
  }
}

// A private bus stands in for the system bus, with the login manager's name owned by the test:
// going to sleep is not a wake-up, waking is told once.
TEST(SleepWatcherTest, AWakeUpFromTheLoginManagerIsTold) {
  QProcess daemon;
  daemon.start(
      QStringLiteral("dbus-daemon"),
      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  ASSERT_TRUE(daemon.waitForStarted(5000)) << "dbus-daemon is not installed";
  ASSERT_TRUE(daemon.canReadLine() || daemon.waitForReadyRead(10000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("watcher"));
  SleepWatcher watcher(bus);
  ASSERT_TRUE(watcher.isListening());
  QDBusConnection logind = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
  ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
  QSignalSpy resumed(&watcher, &SleepWatcher::resumed);
  for (const bool sleeping : {true, false}) {
    QDBusMessage message = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    ASSERT_TRUE(logind.send(message << sleeping));
    if (!sleeping) break;
    // The answer to a call comes after the signal sent before it, which is then delivered.
    const QDBusMessage ping = bus.call(QDBusMessage::createMethodCall(
        logind.baseService(), QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
        QStringLiteral("Ping")));
    ASSERT_EQ(ping.type(), QDBusMessage::ReplyMessage) << ping.errorMessage().toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(resumed.count(), 0);
  }
  ASSERT_TRUE(resumed.wait(10000));
  EXPECT_EQ(resumed.count(), 1);
  daemon.terminate();
  EXPECT_TRUE(daemon.waitForFinished(10000));
}

}  // namespace
}  // namespace vexhal
