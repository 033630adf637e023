#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal {

namespace control {
class CameraCommandRunner;
}

// The program's side of vexhalctl's requests: takes the request line a peer sent on the
// single-instance socket, runs it on the program's own runner (one request at a time, in order
// of arrival) and answers with progress lines and the reply line, then closes the connection.
// A malformed line gets a usage reply. A peer that goes away meanwhile is not answered; its
// request still runs to its end (a firmware transfer is not cut off). Main thread only.
class ControlRequestServer : public QObject {
  Q_OBJECT

 public:
  // `runner` outlives the server.
  explicit ControlRequestServer(control::CameraCommandRunner& runner, QObject* parent = nullptr);
  ~ControlRequestServer() override;

  // Answers `line` on `peer` (see QSingleInstance::requestReceived).
  void handle(QLocalSocket* peer, const QByteArray& line);

  // In the demo: runs one line of the virtual camera's control language and gives its answer
  // ("ok …" or "error …"). Demo requests are answered at once, beside a running request, so a
  // camera can be unplugged in the middle of a firmware transfer.
  void setDemoCommands(std::function<QString(const QString&)> commands) {
    demoCommands_ = std::move(commands);
  }

  // Requests waiting or running.
  std::size_t pending() const { return queue_.size(); }

 private:
  struct Pending {
    QPointer<QLocalSocket> peer;
    control::ControlRequest request;
  };

  void runNext();
  void finish(const control::ControlReply& reply);
  void tellWorking();
  static void answer(QLocalSocket* peer, const control::ControlReply& reply);
  control::ControlReply runDemo(const QStringList& words) const;

  control::CameraCommandRunner& runner_;
  // The first one runs when `running_`.
  std::deque<Pending> queue_;
  bool running_ = false;
  QTimer working_;
  std::function<QString(const QString&)> demoCommands_;
};

}  // namespace vexhal
