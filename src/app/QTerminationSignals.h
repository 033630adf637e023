#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace vexhal {

// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, `kill`) into a signal on the event loop,
// so the program quits the ordinary way and its last log lines are written. The handler only
// writes one byte to a socket pair; the event loop reads it. One instance per process.
class QTerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit QTerminationSignals(QObject* parent = nullptr);
  ~QTerminationSignals() override;

  bool isInstalled() const { return notifier_ != nullptr; }

 Q_SIGNALS:
  void terminationRequested(int signalNumber);

 private:
  void drain();

  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vexhal
