#pragma once

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "ServiceReply.h"
#include "ServiceRequest.h"

class QSslServer;
class QTcpServer;

namespace vexhal::sim {

// A local update service on 127.0.0.1 for tests and the demo: answers version checks from a
// table and serves packages from memory, over HTTP and HTTPS, with faults on demand.
// Runs on the thread that owns it (the main thread in tests and the demo).
class UpdateService : public QObject {
 public:
  static constexpr char kVersionCheckPath[] = "/api/v1/version-check";

  enum class Fault {
    None,
    ServerError,      // status 500
    Garbage,          // status 200 with a body that is not JSON
    Slow,             // the answer is held back for slowDelay()
    DropMidway,       // the connection closes after half the body
    Damaged,          // one byte of the body is changed, the length stays
    Truncated,        // only the first half of the body, announced as the whole
    NoLength,         // no Content-Length; the closing connection ends the body
    HugeLength,       // announces a Content-Length of 600 MiB
    NegativeLength,   // announces a Content-Length below zero
    Compressed,       // deflate-compressed whenever the request accepts it, as web servers do
    UnaskedEncoding,  // deflate-compressed even when the request asks for no encoding
    Trickle,          // the answer goes out one byte every slowDelay()
    Flood             // the body repeated in chunks, kFloodSize bytes in all, no Content-Length
  };
  static constexpr qint64 kFloodSize = 150LL * 1024 * 1024;

  explicit UpdateService(QObject* parent = nullptr);
  ~UpdateService() override;

  // Listens on 127.0.0.1 (port 0 picks a free one). False when the port is taken or, for
  // HTTPS, the certificate or key is unusable.
  bool listenHttp(quint16 port = 0);
  bool listenHttps(const QSslCertificate& certificate, const QSslKey& key, quint16 port = 0);
  quint16 httpPort() const;
  quint16 httpsPort() const;
  // "http://127.0.0.1:port" + path, or https when `secure`.
  QString url(const QString& path, bool secure) const;

  // The answer to a check of `product` at `version`; version "*" answers every version of the
  // product that has no answer of its own. An unknown product gets a service failure (code 1).
  void setAnswer(const QString& product, const QString& version, const QJsonObject& answer);
  // Serves `bytes` at `path`.
  void addPackage(const QString& path, const QByteArray& bytes);
  // Answers requests for `path` with a redirection to `location`.
  void setRedirect(const QString& path, const QString& location);
  // Applies `fault` to every request for `path` (a package path or kVersionCheckPath).
  void setFault(const QString& path, Fault fault);
  void setSlowDelay(std::chrono::milliseconds delay);

  // Reads a table: {"answers": [{"product", "version", "answer"}...],
  //                 "packages": [{"path", "file"}...]}, files relative to `base`.
  bool loadTable(const QJsonObject& table, const QDir& base, QString* error);

  // Every request received so far, oldest first.
  const QList<ServiceRequest>& requests() const { return requests_; }
  // Body bytes handed to connections so far; a flood counts only what its peer took.
  qint64 bodyBytesSent() const { return bodyBytesSent_; }

  // A successful answer offering `version` at `downLoadUrl`, with the package's size text and
  // sha256; and one saying there is nothing newer.
  static QJsonObject offer(const QString& version, const QString& downLoadUrl,
                           const QString& details, const QByteArray& package, bool forceStatus);
  static QJsonObject upToDate();
  // The display text of a package size, e.g. "12.5 MB".
  static QString packageSizeText(std::int64_t bytes);

 private:
  void accept(QTcpServer& server, bool secure);
  ServiceReply route(const ServiceRequest& request);
  ServiceReply versionCheck(const ServiceRequest& request) const;
  ServiceReply withFault(ServiceReply reply, Fault fault, const ServiceRequest& request) const;

  std::unique_ptr<QTcpServer> http_;
  std::unique_ptr<QSslServer> https_;
  QMap<std::pair<QString, QString>, QJsonObject> answers_;
  QHash<QString, QByteArray> packages_;
  QHash<QString, QString> redirects_;
  QHash<QString, Fault> faults_;
  std::chrono::milliseconds slowDelay_{60000};
  QList<ServiceRequest> requests_;
  qint64 bodyBytesSent_ = 0;
};

}  // namespace vexhal::sim
