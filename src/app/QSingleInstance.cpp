#include "app/QSingleInstance.h"

#include <QLocalSocket>
#include <QStandardPaths>

#include <ostrane/ostrane.h>

namespace vexhal {
namespace {

constexpr int kConnectMs = 1000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

}  // namespace

QSingleInstance::QSingleInstance(QString serverPath, QObject* parent)
    : QObject(parent), serverPath_(std::move(serverPath)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      peer->disconnectFromServer();
      Q_EMIT activationRequested();
    }
  });
}

QString QSingleInstance::defaultServerPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) {
    dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  }
  return dir + QStringLiteral("/vexhaltools.socket");
}

bool QSingleInstance::claim() {
  QLocalSocket probe;
  probe.connectToServer(serverPath_);
  if (probe.waitForConnected(kConnectMs)) {
    probe.write(kActivate);
    probe.waitForBytesWritten(kConnectMs);
    probe.disconnectFromServer();
    QLog("App, singleInstance, another instance is running; asked it to show its window");
    return false;
  }
  // Nobody answers: whatever socket file is there was left by an instance that ended.
  QLocalServer::removeServer(serverPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(serverPath_)) {
    QLog("App, singleInstance, listen failed,", server_.errorString().toStdString());
  }
  return true;
}

}  // namespace vexhal
