#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace vexhal {

// The maker's update service until the maker names its own host.
inline constexpr char kDefaultServiceHost[] = "updates.vexhal.example";
inline constexpr char kDefaultServicePort[] = "443";

// The endpoint texts handed to RNetManager::config at start and when the service settings are
// saved. Process-wide, main thread only, never stored.
extern QString serviceHost;
extern QString servicePort;

// The base address for a host text and a port text: "https://host:port". A host text beginning
// with "https://" or, for local services, "http://" is taken as a whole address; its own port,
// when it has one, wins over the port text. Surrounding blanks are ignored. Nothing when the
// texts do not form a usable address, plain http to another machine included.
std::optional<QUrl> serviceBaseUrl(const QString& host, const QString& port);

// An address as typed in the service settings ("https://updates.example.com",
// "http://127.0.0.1:8080") split into the endpoint texts, or the reason it cannot be used.
struct ServiceAddress {
  QString host;     // the address without its port
  QString port;     // its own port, or the scheme's default
  QString problem;  // for the user; empty when the address is usable
};
ServiceAddress parseServiceAddress(const QString& address);

// The endpoint texts as one address, as the service settings show it.
QString serviceAddressText(const QString& host, const QString& port);

// True for plain http that may be used: loopback hosts only.
bool isLoopbackHost(const QString& host);

// An address the client may fetch from or be redirected to: https, or plain http on a
// loopback host.
bool isSecureOrLocal(const QUrl& url);

}  // namespace vexhal
