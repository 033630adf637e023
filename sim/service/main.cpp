// vexhal-update-service: runs the local update service by hand.
//   vexhal-update-service [--http-port N] [--https-port N --cert PEM --key PEM] [--table JSON]
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslKey>
#include <QTextStream>

#include "UpdateService.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vexhal-update-service"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Local update service for tests and the demo"));
  parser.addHelpOption();
  parser.addOptions({{"http-port", "HTTP port on 127.0.0.1 (0 = any free one)", "port", "0"},
                     {"https-port", "HTTPS port on 127.0.0.1", "port"},
                     {"cert", "server certificate (PEM) for HTTPS", "file"},
                     {"key", "server private key (PEM) for HTTPS", "file"},
                     {"table", "answers and packages (JSON)", "file"}});
  parser.process(app);
  QTextStream out(stdout);
  QTextStream err(stderr);

  vexhal::sim::UpdateService service;
  if (parser.isSet("table")) {
    const QString path = parser.value("table");
    QString error;
    const QJsonDocument table = QJsonDocument::fromJson(readAll(path));
    if (!table.isObject() ||
        !service.loadTable(table.object(), QFileInfo(path).absoluteDir(), &error)) {
      err << "cannot load " << path << ": " << (error.isEmpty() ? "not a JSON object" : error)
          << Qt::endl;
      return 1;
    }
  }
  if (!service.listenHttp(static_cast<quint16>(parser.value("http-port").toUInt()))) {
    err << "cannot listen for HTTP" << Qt::endl;
    return 1;
  }
  out << "HTTP  " << service.url(QString(), false) << Qt::endl;
  if (parser.isSet("https-port")) {
    const QSslCertificate certificate(readAll(parser.value("cert")), QSsl::Pem);
    const QSslKey key(readAll(parser.value("key")), QSsl::Rsa, QSsl::Pem);
    if (!service.listenHttps(certificate, key,
                             static_cast<quint16>(parser.value("https-port").toUInt()))) {
      err << "cannot listen for HTTPS (certificate, key or port)" << Qt::endl;
      return 1;
    }
    out << "HTTPS " << service.url(QString(), true) << Qt::endl;
  }
  return QCoreApplication::exec();
}
