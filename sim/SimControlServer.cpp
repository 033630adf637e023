#include "SimControlServer.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace vexhal::sim {

SimControlServer::SimControlServer(Handler handler) : handler_(std::move(handler)) {
  QObject::connect(&server_, &QLocalServer::newConnection, &server_,
                   [this] { acceptConnections(); });
}

SimControlServer::~SimControlServer() { server_.close(); }

namespace {

// A folder another user owns or may write to lets that user replace the socket.
bool isPrivateFolder(const QString& folder, QString* error) {
  struct stat info {};
  if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    if (error != nullptr) {
      *error = QStringLiteral("%1 is not a folder").arg(folder);
    }
    return false;
  }
  if (info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    if (error != nullptr) {
      *error = QStringLiteral("%1 is not a private folder of this user").arg(folder);
    }
    return false;
  }
  return true;
}

}  // namespace

QString SimControlServer::socketFolder(bool create, QString* error) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  QString folder = runtime;
  if (folder.isEmpty()) {
    folder = QDir::tempPath() + QStringLiteral("/vexhal-sim-%1").arg(::getuid());
    if (create) {
      ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU);
    }
  }
  return isPrivateFolder(folder, error) ? folder : QString();
}

QString SimControlServer::socketPath(const QString& name, bool create, QString* error) {
  if (QDir::isAbsolutePath(name)) {
    return isPrivateFolder(QFileInfo(name).absolutePath(), error) ? name : QString();
  }
  const QString folder = socketFolder(create, error);
  return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

bool SimControlServer::listen(const QString& name, QString* error) {
  server_.close();
  const QString path = socketPath(name, true, error);
  if (path.isEmpty()) {
    return false;
  }
  QLocalServer::removeServer(path);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(path)) {
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
