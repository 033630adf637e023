#pragma once

#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

#include "control/CameraCommandRunner.h"
#include "control/ControlRequest.h"

namespace vexhal::cli {

// Carries a request to the running program over its single-instance socket and relays its
// progress and reply. The program writes a line at least every second while it works; a
// program that falls silent for longer than the request's timeout, or closes the connection
// without a reply, gives a "no answer" reply (exit 4) rather than a wait without end.
class SocketRoute : public QObject {
  Q_OBJECT

 public:
  explicit SocketRoute(QString serverPath, QObject* parent = nullptr);

  // True when a program listens there and took the connection within `bound`.
  bool connectToProgram(std::chrono::milliseconds bound);

  // After connectToProgram(): sends `request`; `done` is called exactly once, never from
  // inside run().
  void run(const control::ControlRequest& request, control::CameraCommandRunner::Progress progress,
           control::CameraCommandRunner::Done done);

  // A silent program is given up on after this long.
  static std::chrono::milliseconds silenceBound(const control::ControlRequest& request);

 private:
  void readLines();
  void finish(const control::ControlReply& reply);
  void fail(const QString& message);

  QString serverPath_;
  QLocalSocket socket_;
  QTimer silence_;
  control::CameraCommandRunner::Progress progress_;
  control::CameraCommandRunner::Done done_;
};

}  // namespace vexhal::cli
