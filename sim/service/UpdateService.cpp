#include "UpdateService.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include "ServiceConnection.h"

namespace vexhal::sim {

namespace {

QByteArray json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

UpdateService::UpdateService(QObject* parent) : QObject(parent) {}

UpdateService::~UpdateService() = default;

bool UpdateService::listenHttp(quint16 port) {
  auto server = std::make_unique<QTcpServer>();
  if (!server->listen(QHostAddress::LocalHost, port)) {
    return false;
  }
  http_ = std::move(server);
  accept(*http_, false);
  return true;
}

bool UpdateService::listenHttps(const QSslCertificate& certificate, const QSslKey& key,
                                quint16 port) {
  if (certificate.isNull() || key.isNull()) {
    return false;
  }
  auto server = std::make_unique<QSslServer>();
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setLocalCertificate(certificate);
  tls.setPrivateKey(key);
  tls.setPeerVerifyMode(QSslSocket::VerifyNone);  // clients are not asked for certificates
  server->setSslConfiguration(tls);
  if (!server->listen(QHostAddress::LocalHost, port)) {
    return false;
  }
  https_ = std::move(server);
  accept(*https_, true);
  return true;
}

void UpdateService::accept(QTcpServer& server, bool secure) {
  connect(&server, &QTcpServer::pendingConnectionAvailable, this, [this, &server, secure] {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
      new ServiceConnection(  // owned by this service, gone when its peer is
          socket, secure, [this](const ServiceRequest& request) { return route(request); },
          [this](qint64 bytes) { bodyBytesSent_ += bytes; }, this);
    }
  });
}

quint16 UpdateService::httpPort() const { return http_ ? http_->serverPort() : 0; }

quint16 UpdateService::httpsPort() const { return https_ ? https_->serverPort() : 0; }

QString UpdateService::url(const QString& path, bool secure) const {
  return QStringLiteral("%1://127.0.0.1:%2%3")
      .arg(secure ? QStringLiteral("https") : QStringLiteral("http"))
      .arg(secure ? httpsPort() : httpPort())
      .arg(path);
}

void UpdateService::setAnswer(const QString& product, const QString& version,
                              const QJsonObject& answer) {
  answers_.insert({product, version}, answer);
}

void UpdateService::addPackage(const QString& path, const QByteArray& bytes) {
  packages_.insert(path, bytes);
}

void UpdateService::setRedirect(const QString& path, const QString& location) {
  redirects_.insert(path, location);
}

void UpdateService::setFault(const QString& path, Fault fault) { faults_.insert(path, fault); }

void UpdateService::setSlowDelay(std::chrono::milliseconds delay) { slowDelay_ = delay; }

bool UpdateService::loadTable(const QJsonObject& table, const QDir& base, QString* error) {
  const auto failed = [error](const QString& why) {
    if (error != nullptr) {
      *error = why;
    }
    return false;
  };
  for (const QJsonValue& entry : table.value(QLatin1StringView("answers")).toArray()) {
    const QJsonObject row = entry.toObject();
    const QJsonValue product = row.value(QLatin1StringView("product"));
    const QJsonValue version = row.value(QLatin1StringView("version"));
    const QJsonValue answer = row.value(QLatin1StringView("answer"));
    if (!product.isString() || !version.isString() || !answer.isObject()) {
      return failed(QStringLiteral("an answer needs product, version and answer"));
    }
    setAnswer(product.toString(), version.toString(), answer.toObject());
  }
  for (const QJsonValue& entry : table.value(QLatin1StringView("packages")).toArray()) {
    const QJsonObject row = entry.toObject();
    const QString path = row.value(QLatin1StringView("path")).toString();
    QFile file(base.absoluteFilePath(row.value(QLatin1StringView("file")).toString()));
    if (!path.startsWith(u'/') || !file.open(QIODevice::ReadOnly)) {
      return failed(QStringLiteral("package %1: %2").arg(path, file.errorString()));
    }
    addPackage(path, file.readAll());
  }
  return true;
}

ServiceReply UpdateService::route(const ServiceRequest& request) {
  requests_.append(request);
  ServiceReply reply;
  if (request.path == QLatin1StringView(kVersionCheckPath)) {
    reply = versionCheck(request);
  } else if (const auto redirect = redirects_.constFind(request.path);
             redirect != redirects_.cend()) {
    reply = ServiceReply{302, "text/plain", {}};
    reply.location = redirect->toUtf8();
  } else if (const auto package = packages_.constFind(request.path); package != packages_.cend()) {
    reply = ServiceReply{200, "application/octet-stream", *package};
  } else {
    reply = ServiceReply{404, "text/plain", "not found\n"};
  }
  return withFault(std::move(reply), faults_.value(request.path, Fault::None), request);
}

ServiceReply UpdateService::versionCheck(const ServiceRequest& request) const {
  const QString product = request.queryValue(QStringLiteral("product"));
  const QString version = request.queryValue(QStringLiteral("version"));
  auto answer = answers_.constFind({product, version});
  if (answer == answers_.cend()) {
    answer = answers_.constFind({product, QStringLiteral("*")});
  }
  if (answer == answers_.cend()) {
    return ServiceReply{
        200, "application/json",
        json(
            {{"code", 1}, {"message", QStringLiteral("No update information for this product.")}})};
  }
  return ServiceReply{200, "application/json", json(*answer)};
}

ServiceReply UpdateService::withFault(ServiceReply reply, Fault fault,
                                      const ServiceRequest& request) const {
  switch (fault) {
    case Fault::None:
      break;
    case Fault::ServerError:
      reply = ServiceReply{500, "text/plain", "internal error\n"};
      break;
    case Fault::Garbage:
      reply = ServiceReply{200, "application/json", "<html>\x01\x02 not what you asked for"};
      break;
    case Fault::Slow:
      reply.delay = slowDelay_;
      break;
    case Fault::DropMidway:
      reply.delivery = ServiceReply::Delivery::DropMidway;
      break;
    case Fault::Damaged:
      if (!reply.body.isEmpty()) {
        reply.body[reply.body.size() / 2] =
            static_cast<char>(reply.body[reply.body.size() / 2] ^ 0x5a);
      }
      break;
    case Fault::Truncated:
      reply.body.truncate(reply.body.size() / 2);
      break;
    case Fault::NoLength:
      reply.delivery = ServiceReply::Delivery::NoLength;
      break;
    case Fault::HugeLength:
      reply.delivery = ServiceReply::Delivery::FalseLength;
      reply.declaredLength = 600LL * 1024 * 1024;
      break;
    case Fault::NegativeLength:
      reply.delivery = ServiceReply::Delivery::FalseLength;
      reply.declaredLength = -5;
      break;
    case Fault::Compressed:
    case Fault::UnaskedEncoding:
      if (fault == Fault::UnaskedEncoding ||
          request.header("accept-encoding").contains("deflate")) {
        reply.body = qCompress(reply.body).mid(4);  // the zlib stream without Qt's length prefix
        reply.encoding = "deflate";
      }
      break;
    case Fault::Trickle:
      reply.delivery = ServiceReply::Delivery::Trickle;
      reply.pace = slowDelay_;
      break;
    case Fault::Flood:
      reply.delivery = ServiceReply::Delivery::Flood;
      reply.declaredLength = kFloodSize;
      break;
  }
  return reply;
}

QJsonObject UpdateService::offer(const QString& version, const QString& downLoadUrl,
                                 const QString& details, const QByteArray& package,
                                 bool forceStatus) {
  const QByteArray sha256 = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex();
  return {{"code", 0},
          {"message", QStringLiteral("success")},
          {"data", QJsonObject{{"needUpgrade", true},
                               {"forceStatus", forceStatus},
                               {"version", version},
                               {"downLoadUrl", downLoadUrl},
                               {"details", details},
                               {"packageSize", packageSizeText(package.size())},
                               {"sha256", QString::fromLatin1(sha256)}}}};
}

QJsonObject UpdateService::upToDate() {
  return {{"code", 0},
          {"message", QStringLiteral("success")},
          {"data", QJsonObject{{"needUpgrade", false},
                               {"forceStatus", false},
                               {"version", QString()},
                               {"downLoadUrl", QString()},
                               {"details", QString()},
                               {"packageSize", QString()}}}};
}

QString UpdateService::packageSizeText(std::int64_t bytes) {
  return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) +
         QStringLiteral(" MB");
}

}  // namespace vexhal::sim
