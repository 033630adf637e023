// Package download over loopback from the local update service: the client (streamed into a
// temporary file, SHA-256 checked, moved into place) against a bare QNetworkAccessManager GET
// that only reads the bytes, in the same run, over HTTP and HTTPS. Prints rates and the ratio.
//   download_bench [MiB per package, default 64] [rounds, default 3]
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "UpdateService.h"
#include "net/RNetManager.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray certFile(const char* name) {
  return readAll(QStringLiteral(VEXHAL_TEST_CERT_DIR "/") + QLatin1StringView(name));
}

// The anchor: one GET whose body is read and thrown away.
double rawSeconds(QNetworkAccessManager& network, const QUrl& url, qint64 expected) {
  QElapsedTimer timer;
  timer.start();
  QNetworkReply* reply = network.get(QNetworkRequest(url));
  qint64 received = 0;
  QObject::connect(reply, &QNetworkReply::readyRead, reply,
                   [reply, &received] { received += reply->readAll().size(); });
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  loop.exec();
  received += reply->readAll().size();
  reply->deleteLater();
  if (reply->error() != QNetworkReply::NoError || received != expected) {
    std::fprintf(stderr, "raw download failed: %s\n", qPrintable(reply->errorString()));
    std::exit(1);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double clientSeconds(vexhal::RNetManager& manager, const QString& url, const QString& save,
                     const QByteArray& sha) {
  QElapsedTimer timer;
  timer.start();
  QEventLoop loop;
  int code = -1;
  manager.download(url, save, sha, nullptr, [&](const vexhal::RNetResponse& response) {
    code = static_cast<int>(response.code);
    loop.quit();
  });
  loop.exec();
  if (code != 0) {
    std::fprintf(stderr, "client download failed with code %d\n", code);
    std::exit(1);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  QByteArray package(static_cast<qsizetype>(mib) * 1024 * 1024, Qt::Uninitialized);
  for (qsizetype i = 0; i < package.size(); ++i) {
    package[i] = static_cast<char>((i * 131 + i / 4099) & 0xff);
  }
  const QByteArray sha = QCryptographicHash::hash(package, QCryptographicHash::Sha256).toHex();

  vexhal::sim::UpdateService service;
  const QSslCertificate certificate(certFile("server.pem"), QSsl::Pem);
  const QSslKey key(certFile("server.key"), QSsl::Rsa, QSsl::Pem);
  if (!service.listenHttp() || !service.listenHttps(certificate, key)) {
    std::fprintf(stderr, "the update service did not start\n");
    return 1;
  }
  service.addPackage(QStringLiteral("/bench.bin"), package);

  vexhal::RNetManager manager;
  manager.addTrustedAuthority(certFile("ca.pem"));
  QNetworkAccessManager network;
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.addCaCertificates(QSslCertificate::fromData(certFile("ca.pem"), QSsl::Pem));
  QSslConfiguration::setDefaultConfiguration(tls);

  QTemporaryDir scratch;
  const QString save = scratch.filePath(QStringLiteral("firmware.bin"));
  std::printf("%d MiB package, best of %d rounds (raw and client alternate)\n", mib, rounds);
  for (const bool secure : {false, true}) {
    const QString url = service.url(QStringLiteral("/bench.bin"), secure);
    double raw = 1e9;
    double client = 1e9;
    for (int round = 0; round < rounds; ++round) {
      raw = std::min(raw, rawSeconds(network, QUrl(url), package.size()));
      client = std::min(client, clientSeconds(manager, url, save, sha));
    }
    std::printf("%-5s raw GET %7.1f MiB/s   client %7.1f MiB/s   client/raw %.2f\n",
                secure ? "https" : "http", mib / raw, mib / client, raw / client);
  }
  return 0;
}
