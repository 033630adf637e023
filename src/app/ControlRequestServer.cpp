#include "app/ControlRequestServer.h"

#include <QJsonDocument>
#include <QLocalSocket>

#include <ostrane/ostrane.h>

#include "app/ControlSocketProtocol.h"
#include "control/CameraCommandRunner.h"

namespace vexhal {
namespace {

// More waiting requests than this are turned away at once instead of waiting for their turn.
constexpr std::size_t kMaxPending = 16;

control::ControlReply failure(control::ExitCode exit, const QString& message) {
  control::ControlReply reply;
  reply.exit = exit;
  reply.message = message;
  return reply;
}

}  // namespace

ControlRequestServer::ControlRequestServer(control::CameraCommandRunner& runner, QObject* parent)
    : QObject(parent), runner_(runner) {
  working_.setInterval(ControlSocketProtocol::kWorkingInterval);
  connect(&working_, &QTimer::timeout, this, &ControlRequestServer::tellWorking);
}

ControlRequestServer::~ControlRequestServer() = default;

void ControlRequestServer::handle(QLocalSocket* peer, const QByteArray& line) {
  QString error;
  const std::optional<control::ControlRequest> request =
      ControlSocketProtocol::readRequest(line, &error);
  if (!request) {
    QLog("App, controlRequest, refused a malformed request:", error.toStdString());
    answer(peer, failure(control::ExitCode::Usage, error));
    return;
  }
  if (request->command == control::ControlRequest::Command::Demo) {
    answer(peer, runDemo(request->settings));
    return;
  }
  if (queue_.size() >= kMaxPending) {
    QLog("App, controlRequest, too many requests waiting; turned one away");
    answer(peer, failure(control::ExitCode::NoAnswer,
                         QStringLiteral("VexhalTools is busy with other requests")));
    return;
  }
  QLog("App, controlRequest, received", control::commandWord(request->command).toStdString());
  queue_.push_back({peer, *request});
  working_.start();
  runNext();
}

void ControlRequestServer::runNext() {
  if (running_ || queue_.empty()) return;
  running_ = true;
  const QPointer<ControlRequestServer> self(this);
  runner_.run(
      queue_.front().request,
      [self](int percent) {
        if (!self || self->queue_.empty()) return;
        if (QLocalSocket* peer = self->queue_.front().peer) {
          peer->write(ControlSocketProtocol::progressLine(percent));
        }
      },
      [self](const control::ControlReply& reply) {
        if (self) self->finish(reply);
      });
}

void ControlRequestServer::finish(const control::ControlReply& reply) {
  const Pending done = queue_.front();
  queue_.pop_front();
  running_ = false;
  QLog("App, controlRequest, done", control::commandWord(done.request.command).toStdString(),
       "exit", static_cast<int>(reply.exit));
  if (done.peer) {
    answer(done.peer, reply);
  } else {
    QLog("App, controlRequest, the asker went away before the answer");
  }
  if (queue_.empty()) working_.stop();
  runNext();
}

void ControlRequestServer::tellWorking() {
  for (const Pending& pending : queue_) {
    if (pending.peer) pending.peer->write(ControlSocketProtocol::workingLine());
  }
}

control::ControlReply ControlRequestServer::runDemo(const QStringList& words) const {
  if (!demoCommands_) {
    return failure(control::ExitCode::Usage,
                   QStringLiteral("VexhalTools is not running its demo (`vexhaltools --demo`)"));
  }
  const QString line = words.join(QLatin1Char(' '));
  const QString said = demoCommands_(line);
  QLog("App, controlRequest, demo:", line.toStdString(), "->", said.toStdString());
  if (said == QLatin1String("ok") || said.startsWith(QLatin1String("ok "))) {
    return control::ControlReply(control::ExitCode::Done, QJsonValue(), said.mid(3));
  }
  return failure(control::ExitCode::Usage, said.startsWith(QLatin1String("error "))
                                               ? said.mid(6)
                                               : QStringLiteral("unreadable answer: ") + said);
}

void ControlRequestServer::answer(QLocalSocket* peer, const control::ControlReply& reply) {
  peer->write(ControlSocketProtocol::line(control::toJson(reply)));
  peer->disconnectFromServer();
}

}  // namespace vexhal
