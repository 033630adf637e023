#include "SimControlServer.h"

#include <QLocalSocket>

namespace vexhal::sim {

SimControlServer::SimControlServer(Handler handler) : handler_(std::move(handler)) {
  QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                   [this] { acceptConnections(); });
}

SimControlServer::~SimControlServer() { server_.close(); }

bool SimControlServer::listen(const QString& name, QString* error) {
  server_.close();
  QLocalServer::removeServer(name);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(name)) {
    if (error != nullptr) {
      *error = server_.errorString();
    }
    return false;
  }
  return true;
}

void SimControlServer::acceptConnections() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      while (socket->canReadLine()) {
        const QString line = QString::fromUtf8(socket->readLine(kMaxLineLength)).trimmed();
        socket->write(handler_(line).toUtf8() + '\n');
      }
      if (socket->bytesAvailable() > kMaxLineLength) {
        socket->write("error line too long\n");
        socket->disconnectFromServer();
      }
    });
  }
}

}  // namespace vexhal::sim
