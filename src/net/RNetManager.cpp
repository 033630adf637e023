#include "net/RNetManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

#include <algorithm>

#include "net/NetFailure.h"
#include "net/PackageDownload.h"
#include "net/ServiceEndpoint.h"
#include "net/VersionCheckCall.h"

namespace vexhal {

namespace {

// Values of the query, percent-encoded in full so that '+', '&' and '=' survive any decoder.
QString queryValue(const QString& text) {
  return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

}  // namespace

RNetManager& RNetManager::share() {
  static RNetManager manager(QCoreApplication::instance());
  return manager;
}

RNetManager::RNetManager() : RNetManager(nullptr) {}

RNetManager::RNetManager(QObject* owner)
    : host_(QString::fromLatin1(kDefaultServiceHost)),
      port_(QString::fromLatin1(kDefaultServicePort)),
      context_(new QObject(owner)),
      calls_(new QObject(context_)),
      network_(new QNetworkAccessManager(context_)) {
  // Each redirection is checked by its call (see NetCall).
  network_->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
}

RNetManager::~RNetManager() {
  // Calls first: each aborts its reply while the network access manager still exists.
  delete calls_.data();
  delete context_.data();
}

void RNetManager::config(const QString& host, const QString& port) {
  host_ = host;
  port_ = port;
  log(QStringLiteral("RNetManager, config, %1, %2").arg(host, port));
}

void RNetManager::addDelegate(const std::shared_ptr<RNetManagerDelegate>& delegate) {
  delegates_.add(delegate);
}

bool RNetManager::addTrustedAuthority(const QByteArray& pem) {
  const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem, QSsl::Pem);
  if (certificates.isEmpty()) {
    return false;
  }
  // An explicit list replaces the system's authorities, which are otherwise found on demand,
  // so they are listed too: read once per process, as reading them is slow.
  static const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
  QSslConfiguration tls = tls_.value_or(QSslConfiguration::defaultConfiguration());
  QList<QSslCertificate> authorities = tls.caCertificates();
  if (authorities.isEmpty()) {
    authorities = system;
  }
  tls.setCaCertificates(authorities + certificates);
  tls_ = tls;
  return true;
}

void RNetManager::setIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }

void RNetManager::setConnectTimeout(std::chrono::milliseconds timeout) {
  connectTimeout_ = timeout;
}

void RNetManager::setCheckDeadline(std::chrono::milliseconds deadline) {
  checkDeadline_ = deadline;
}

void RNetManager::setMaxPackageSize(std::int64_t bytes) { maxPackageSize_ = bytes; }

void RNetManager::log(const QString& message) {
  delegates_.forEach([&](RNetManagerDelegate& delegate) { delegate.onPrintLog(*this, message); });
}

QNetworkRequest RNetManager::makeRequest(const QUrl& url) const {
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("VexhalTools"));
  if (tls_) {
    request.setSslConfiguration(*tls_);
  }
  return request;
}

void RNetManager::watchTls(QNetworkReply* reply) {
  QObject::connect(reply, &QNetworkReply::sslErrors, context_,
                   [this](const QList<QSslError>& errors) {
                     for (const QSslError& error : errors) {
                       log(QStringLiteral("RNetManager, TLS, %1").arg(error.errorString()));
                     }
                   });
}

void RNetManager::failLater(const RNetResponse& response,
                            std::function<void(const RNetResponse&)> sink) {
  QTimer::singleShot(0, context_, [response, sink = std::move(sink)] { sink(response); });
}

void RNetManager::needVersionUpgrade(const QString& product, const QString& version,
                                     VersionCallback callback) {
  const std::optional<QUrl> base = serviceBaseUrl(host_, port_);
  if (!base) {
    log(QStringLiteral("RNetManager, version-check, no usable address: %1, %2").arg(host_, port_));
    failLater(netFailure(RNetResponse::kBadAddress),
              [callback = std::move(callback)](const RNetResponse& response) {
                if (callback) {
                  callback(response, std::nullopt);
                }
              });
    return;
  }
  QUrl url = *base;
  url.setPath(url.path() + QStringLiteral("/api/v1/version-check"));
  url.setQuery(
      QStringLiteral("product=%1&version=%2").arg(queryValue(product), queryValue(version)),
      QUrl::StrictMode);
  log(QStringLiteral("RNetManager, version-check, GET %1").arg(url.toString()));

  QNetworkRequest request = makeRequest(url);
  request.setRawHeader("Accept", "application/json");
  QNetworkReply* reply = network_->get(request);
  watchTls(reply);
  new VersionCheckCall(  // owned by calls_
      reply, idleTimeout_, connectTimeout_, checkDeadline_,
      [this, callback = std::move(callback)](const RNetResponse& response,
                                             const std::optional<RVersionUpgradeInfo>& data) {
        log(QStringLiteral("RNetManager, version-check, %1, %2")
                .arg(response.code)
                .arg(response.message));
        if (data && !data->downLoadUrl.isEmpty()) {
          if (data->sha256) {
            knownSha256_[data->downLoadUrl] = *data->sha256;
          } else {
            knownSha256_.erase(data->downLoadUrl);
          }
        }
        if (callback) {
          callback(response, data);
        }
      },
      calls_);
}

void RNetManager::download(const QString& url, const QString& savePath, ProgressCallback progress,
                           CompleteCallback complete) {
  const auto known = knownSha256_.find(url);
  std::optional<QByteArray> expected;
  if (known != knownSha256_.end()) {
    expected = known->second;
  }
  download(url, savePath, std::move(expected), std::move(progress), std::move(complete));
}

void RNetManager::download(const QString& url, const QString& savePath,
                           std::optional<QByteArray> expectedSha256, ProgressCallback progress,
                           CompleteCallback complete) {
  log(QStringLiteral("RNetManager, download, GET %1 -> %2").arg(url, savePath));
  auto finished = [this, complete = std::move(complete)](const RNetResponse& response) {
    log(QStringLiteral("RNetManager, download, %1, %2").arg(response.code).arg(response.message));
    if (complete) {
      complete(response);
    }
  };
  const QUrl address(url, QUrl::StrictMode);
  if (!isSecureOrLocal(address)) {
    failLater(netFailure(RNetResponse::kBadAddress), std::move(finished));
    return;
  }
  const QFileInfo target(savePath);
  auto file = std::make_unique<QSaveFile>(target.absoluteFilePath());
  if (savePath.isEmpty() || !QDir().mkpath(target.absolutePath()) ||
      !file->open(QIODevice::WriteOnly)) {
    const QString reason =
        savePath.isEmpty() ? QStringLiteral("no file name") : file->errorString();
    failLater(netFailure(RNetResponse::kFileError, reason), std::move(finished));
    return;
  }
  QNetworkRequest request = makeRequest(address);
  // The package's bytes exactly as stored: its length and checksum are those of these bytes.
  request.setRawHeader("Accept-Encoding", "identity");
  QNetworkReply* reply = network_->get(request);
  reply->setReadBufferSize(PackageDownload::kReadBufferSize);
  watchTls(reply);
  new PackageDownload(reply, std::move(file), std::move(expectedSha256), maxPackageSize_,
                      idleTimeout_, connectTimeout_, std::move(progress), std::move(finished),
                      calls_);
}

}  // namespace vexhal
