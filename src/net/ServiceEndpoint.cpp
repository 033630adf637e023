#include "net/ServiceEndpoint.h"

#include <QHostAddress>

namespace vexhal {

QString serviceHost = QString::fromLatin1(kDefaultServiceHost);
QString servicePort = QString::fromLatin1(kDefaultServicePort);

namespace {

std::optional<int> portNumber(const QString& text) {
  bool ok = false;
  const int port = text.trimmed().toInt(&ok, 10);
  if (!ok || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

bool startsWithScheme(const QString& text, const char* scheme) {
  return text.startsWith(QLatin1StringView(scheme), Qt::CaseInsensitive);
}

}  // namespace

std::optional<QUrl> serviceBaseUrl(const QString& host, const QString& port) {
  const QString hostText = host.trimmed();
  QUrl url;
  if (startsWithScheme(hostText, "http://") || startsWithScheme(hostText, "https://")) {
    url = QUrl(hostText, QUrl::StrictMode);
    if (!isSecureOrLocal(url) || url.hasQuery() || url.hasFragment() ||
        !url.userInfo().isEmpty()) {
      return std::nullopt;
    }
    if (url.port() == -1) {
      const std::optional<int> number = portNumber(port);
      if (!number) {
        return std::nullopt;
      }
      url.setPort(*number);
    }
  } else {
    const std::optional<int> number = portNumber(port);
    if (hostText.isEmpty() || !number) {
      return std::nullopt;
    }
    url.setScheme(QStringLiteral("https"));
    url.setHost(hostText, QUrl::StrictMode);
    url.setPort(*number);
    if (!url.isValid() || url.host().isEmpty()) {
      return std::nullopt;
    }
  }
  QString path = url.path();
  while (path.endsWith(u'/')) {
    path.chop(1);
  }
  url.setPath(path);
  return url;
}

bool isPlainHttpElsewhere(const QString& host) {
  const QString hostText = host.trimmed();
  if (!startsWithScheme(hostText, "http://")) {
    return false;
  }
  const QUrl url(hostText, QUrl::StrictMode);
  return url.isValid() && !url.host().isEmpty() && !isLoopbackHost(url.host());
}

bool isLoopbackHost(const QString& host) {
  if (host.compare(QLatin1StringView("localhost"), Qt::CaseInsensitive) == 0) {
    return true;
  }
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

bool isSecureOrLocal(const QUrl& url) {
  if (!url.isValid() || url.host().isEmpty()) {
    return false;
  }
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1StringView("https") ||
         (scheme == QLatin1StringView("http") && isLoopbackHost(url.host()));
}

}  // namespace vexhal
