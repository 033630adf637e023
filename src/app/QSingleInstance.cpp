#include "app/QSingleInstance.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <ostrane/ostrane.h>

#include "app/ControlSocketProtocol.h"

namespace vexhal {
namespace {

constexpr int kConnectMs = 1000;
// "activate", then " token=" and " startup-id=" with percent-encoded values where the launch
// had them.
const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kTokenField = QByteArrayLiteral("token=");
const QByteArray kStartupIdField = QByteArrayLiteral("startup-id=");
const QString kDeadlineName = QStringLiteral("requestDeadline");

QByteArray activationLine(const QString& activationToken, const QString& startupId) {
  QByteArray line = kActivate;
  if (!activationToken.isEmpty())
    line += ' ' + kTokenField + activationToken.toUtf8().toPercentEncoding();
  if (!startupId.isEmpty()) line += ' ' + kStartupIdField + startupId.toUtf8().toPercentEncoding();
  return line + '\n';
}

// The field's value in an activation line, or empty.
QString activationField(const QList<QByteArray>& words, const QByteArray& field) {
  for (const QByteArray& word : words) {
    if (word.startsWith(field))
      return QString::fromUtf8(QByteArray::fromPercentEncoding(word.mid(field.size())));
  }
  return {};
}

void drop(QLocalSocket* peer, const char* why) {
  QLog("App, singleInstance, closed a peer:", why);
  peer->abort();
  peer->deleteLater();
}

}  // namespace

QSingleInstance::QSingleInstance(QString serverPath, QObject* parent)
    : QObject(parent), serverPath_(std::move(serverPath)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) accept(peer);
  });
}

void QSingleInstance::accept(QLocalSocket* peer) {
  connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
  // What a hostile peer can make this process hold.
  peer->setReadBufferSize(ControlSocketProtocol::kMaxRequestBytes + 1);
  auto* deadline = new QTimer(peer);
  deadline->setObjectName(kDeadlineName);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, peer, [peer] { drop(peer, "no line in time"); });
  deadline->start(ControlSocketProtocol::kRequestDeadline);
  connect(peer, &QLocalSocket::readyRead, deadline, [this, peer] { readLine(peer); });
  // A line may have come with the connection.
  if (peer->bytesAvailable() > 0) readLine(peer);
}

void QSingleInstance::readLine(QLocalSocket* peer) {
  if (!peer->canReadLine()) {
    if (peer->bytesAvailable() > ControlSocketProtocol::kMaxRequestBytes) {
      drop(peer, "line too long");
    }
    return;
  }
  QByteArray line = peer->readLine();
  line.chop(1);
  // The peer is handed on: its deadline and this reader go.
  delete peer->findChild<QTimer*>(kDeadlineName, Qt::FindDirectChildrenOnly);
  const QList<QByteArray> words = line.split(' ');
  if (words.front() == kActivate) {
    peer->disconnectFromServer();
    Q_EMIT activationRequested(activationField(words, kTokenField),
                               activationField(words, kStartupIdField));
    return;
  }
  Q_EMIT requestReceived(peer, line);
}

QString QSingleInstance::defaultServerPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) {
    dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  }
  return dir + QStringLiteral("/vexhaltools.socket");
}

bool QSingleInstance::claim(const QString& activationToken, const QString& startupId) {
  QLocalSocket probe;
  probe.connectToServer(serverPath_);
  if (probe.waitForConnected(kConnectMs)) {
    probe.write(activationLine(activationToken, startupId));
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
