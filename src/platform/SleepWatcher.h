#pragma once

#include <QDBusConnection>
#include <QObject>

namespace vexhal {

// Tells when the machine wakes from sleep: the login manager's PrepareForSleep(false) on the
// system bus. Where there is no such bus (a container, CI) nothing is heard; that is logged
// once, and the program carries on. Main thread only.
class SleepWatcher : public QObject {
  Q_OBJECT

 public:
  // Listens on `bus`: the system bus, or a test's private one.
  explicit SleepWatcher(const QDBusConnection& bus, QObject* parent = nullptr);

  bool isListening() const { return listening_; }

 signals:
  void resumed();

 private slots:
  void prepareForSleep(bool sleeping);

 private:
  bool listening_ = false;
};

}  // namespace vexhal
