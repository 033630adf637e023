#include "cli/SocketRoute.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "app/ControlSocketProtocol.h"

namespace vexhal::cli {
namespace {

// At least two of the program's "working" lines fit in the bound.
constexpr std::chrono::milliseconds kShortestSilence = 2 * ControlSocketProtocol::kWorkingInterval;

}  // namespace

SocketRoute::SocketRoute(QString serverPath, QObject* parent)
    : QObject(parent), serverPath_(std::move(serverPath)) {
  silence_.setSingleShot(true);
  connect(&silence_, &QTimer::timeout, this,
          [this] { fail(QStringLiteral("the running VexhalTools program stopped answering")); });
  connect(&socket_, &QLocalSocket::readyRead, this, &SocketRoute::readLines);
  connect(&socket_, &QLocalSocket::disconnected, this, [this] {
    // What came with the close is read first; a reply among it ends the request.
    readLines();
    fail(QStringLiteral(
        "the running VexhalTools program closed the connection without an answer (an older "
        "version takes no requests: update it, or quit it to reach the camera directly)"));
  });
}

bool SocketRoute::connectToProgram(std::chrono::milliseconds bound) {
  socket_.connectToServer(serverPath_);
  return socket_.waitForConnected(static_cast<int>(bound.count()));
}

void SocketRoute::run(const control::ControlRequest& request,
                      control::CameraCommandRunner::Progress progress,
                      control::CameraCommandRunner::Done done) {
  progress_ = std::move(progress);
  done_ = std::move(done);
  silence_.start(silenceBound(request));
  socket_.write(ControlSocketProtocol::line(control::toJson(request)));
}

std::chrono::milliseconds SocketRoute::silenceBound(const control::ControlRequest& request) {
  return std::max(request.timeout, kShortestSilence);
}

void SocketRoute::readLines() {
  while (done_ && socket_.canReadLine()) {
    silence_.start();
    const QByteArray line = socket_.readLine(ControlSocketProtocol::kMaxAnswerBytes);
    const ControlSocketProtocol::Answer answer = ControlSocketProtocol::readAnswer(line);
    switch (answer.kind) {
      case ControlSocketProtocol::Answer::Kind::Working:
        break;
      case ControlSocketProtocol::Answer::Kind::Progress:
        if (progress_) progress_(answer.percent);
        break;
      case ControlSocketProtocol::Answer::Kind::Reply:
        finish(answer.reply);
        break;
      case ControlSocketProtocol::Answer::Kind::Unreadable:
        fail(QStringLiteral("the running VexhalTools program answered something unreadable: %1")
                 .arg(answer.error));
        break;
    }
  }
  if (done_ && socket_.bytesAvailable() > ControlSocketProtocol::kMaxAnswerBytes) {
    fail(QStringLiteral("the running VexhalTools program answered an overlong line"));
  }
}

void SocketRoute::finish(const control::ControlReply& reply) {
  if (!done_) return;
  silence_.stop();
  const auto done = std::exchange(done_, nullptr);
  socket_.abort();
  done(reply);
}

void SocketRoute::fail(const QString& message) {
  control::ControlReply reply;
  reply.exit = control::ExitCode::NoAnswer;
  reply.message = message;
  finish(reply);
}

}  // namespace vexhal::cli
