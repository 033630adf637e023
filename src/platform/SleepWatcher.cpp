#include "platform/SleepWatcher.h"

#include <QDBusError>

#include <ostrane/ostrane.h>

namespace vexhal {

SleepWatcher::SleepWatcher(const QDBusConnection& bus, QObject* parent) : QObject(parent) {
  QDBusConnection connection(bus);
  if (!connection.isConnected()) {
    QLog("Platform, SleepWatcher, no system bus, wake-ups go unnoticed: " +
         connection.lastError().message().toStdString());
    return;
  }
  listening_ = connection.connect(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
      SLOT(prepareForSleep(bool)));
  if (!listening_) {
    QLog("Platform, SleepWatcher, cannot listen for wake-ups: " +
         connection.lastError().message().toStdString());
  }
}

void SleepWatcher::prepareForSleep(bool sleeping) {
  QLog(sleeping ? "Platform, SleepWatcher, going to sleep" : "Platform, SleepWatcher, woke up");
  if (!sleeping) {
    emit resumed();
  }
}

}  // namespace vexhal
