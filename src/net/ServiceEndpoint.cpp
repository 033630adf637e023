#include "net/ServiceEndpoint.h"

#include <QHostAddress>

#include <algorithm>

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
    if (!isSecureOrLocal(url) || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty()) {
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

ServiceAddress parseServiceAddress(const QString& address) {
  const auto refused = [](const QString& problem) { return ServiceAddress{{}, {}, problem}; };
  const QString text = address.trimmed();
  const bool https = startsWithScheme(text, "https://");
  if (!https && !startsWithScheme(text, "http://")) {
    return refused(
        QStringLiteral("The address must begin with https:// (or http:// for this computer)."));
  }
  const qsizetype start = text.indexOf(u':') + 3;
  qsizetype end = text.size();
  for (const QChar mark : {u'/', u'?', u'#'}) {
    const qsizetype at = text.indexOf(mark, start);
    end = at == -1 ? end : std::min(end, at);
  }
  const QString authority = text.mid(start, end - start);
  const qsizetype colon = authority.lastIndexOf(u':');
  ServiceAddress split{text, https ? QStringLiteral("443") : QStringLiteral("80"), {}};
  if (colon > authority.lastIndexOf(u']')) {  // a colon inside [...] belongs to an IPv6 address
    split.port = authority.mid(colon + 1);
    const bool digits =
        !split.port.isEmpty() && std::all_of(split.port.begin(), split.port.end(),
                                             [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digits || !portNumber(split.port)) {
      return refused(QStringLiteral("The port must be a number from 1 to 65535."));
    }
    split.host = text.left(start + colon) + text.mid(end);
  }
  const QUrl url(split.host, QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty()) {
    return refused(QStringLiteral("This is not a valid address."));
  }
  if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()) {
    return refused(QStringLiteral("The address must not contain a user name, ? or #."));
  }
  if (!https && !isLoopbackHost(url.host())) {
    return refused(
        QStringLiteral("Plain http is allowed only for this computer (localhost). Use "
                       "an https address for other hosts."));
  }
  if (!serviceBaseUrl(split.host, split.port)) {
    return refused(QStringLiteral("This is not a valid address."));
  }
  return split;
}

QString serviceAddressText(const QString& host, const QString& port) {
  const std::optional<QUrl> base = serviceBaseUrl(host, port);
  return base ? base->toString() : host.trimmed();
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
