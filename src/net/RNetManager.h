#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "base/WeakDelegateList.h"
#include "net/RNetManagerDelegate.h"
#include "net/RNetResponse.h"
#include "net/RVersionUpgradeInfo.h"

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QObject;

namespace vexhal {

// The client of the update service: version checks and package downloads over HTTPS.
//
// Threading: create and call it on the main thread. Every progress and completion is delivered
// on the main loop, never from inside the call that started the request, and each call gets
// exactly one completion, unless the manager is destroyed first: that drops the calls still
// running without their completions.
//
// Wire format: GET {base}/api/v1/version-check?product=…&version=… answers
// {"code": 0, "message": "…", "data": {...}} (see RVersionUpgradeInfo); the package is a plain
// GET of its address. TLS peers are verified against the system's authorities plus those added
// with addTrustedAuthority.
class RNetManager {
 public:
  using VersionCallback = std::function<void(const RNetResponse& response,
                                             const std::optional<RVersionUpgradeInfo>& data)>;
  using ProgressCallback = std::function<void(int percent)>;
  using CompleteCallback = std::function<void(const RNetResponse& response)>;

  static constexpr std::int64_t kMaxPackageSize = 512LL * 1024 * 1024;
  static constexpr std::chrono::milliseconds kDefaultIdleTimeout{15000};
  // Long enough for one unanswered name server (the resolver waits 5 s) and a slow handshake.
  static constexpr std::chrono::milliseconds kDefaultConnectTimeout{8000};
  static constexpr std::chrono::milliseconds kDefaultCheckDeadline{30000};

  // The process-wide manager, created on first call (after the QCoreApplication, on the main
  // thread); its network machinery goes away with the application object.
  static RNetManager& share();

  // A manager of its own on the default endpoint. Needs the QCoreApplication.
  RNetManager();
  RNetManager(const RNetManager&) = delete;
  RNetManager& operator=(const RNetManager&) = delete;
  ~RNetManager();

  // Later version checks go to this host and port (see serviceBaseUrl).
  void config(const QString& host, const QString& port);
  // Delegates are held weakly; adding one that is already there changes nothing.
  void addDelegate(const std::shared_ptr<RNetManagerDelegate>& delegate);

  // Trusts the authorities in `pem` besides the system's. False, and nothing added, when `pem`
  // holds no certificate.
  bool addTrustedAuthority(const QByteArray& pem);
  // A call that makes no progress for this long (connecting included) fails with kTimeout.
  void setIdleTimeout(std::chrono::milliseconds timeout);
  // A call whose request has not gone out this long after it started (name lookup, connection
  // and TLS handshake) fails with kNoConnection.
  void setConnectTimeout(std::chrono::milliseconds timeout);
  // A version check not finished this long after it started fails with kTimeout, however
  // steadily bytes arrive. Downloads have no such limit: a package may take long.
  void setCheckDeadline(std::chrono::milliseconds deadline);
  // Packages larger than this fail with kTooLarge, whether declared or counted.
  void setMaxPackageSize(std::int64_t bytes);

  // Asks whether `product` at `version` has a newer version. The completion's data is present
  // only for a successful answer whose data is an RVersionUpgradeInfo. A successful answer's
  // sha256, if any, is remembered for its downLoadUrl (see download).
  void needVersionUpgrade(const QString& product, const QString& version, VersionCallback callback);

  // Downloads `url` (https, or plain http on a loopback host) into a temporary file beside
  // `savePath`, moved onto `savePath` only when complete and, when a sha256 is expected,
  // matching. On failure `savePath` keeps whatever it held before. Progress is whole percent,
  // each value at most once, rising, ending at 100 on success. This form expects the sha256 the
  // last version check gave for `url`, if it gave one.
  void download(const QString& url, const QString& savePath, ProgressCallback progress,
                CompleteCallback complete);
  // The same with an explicit expected sha256 (hexadecimal; nothing = no check).
  void download(const QString& url, const QString& savePath,
                std::optional<QByteArray> expectedSha256, ProgressCallback progress,
                CompleteCallback complete);

 private:
  // Sends `message` to every live delegate.
  void log(const QString& message);
  explicit RNetManager(QObject* owner);
  QNetworkRequest makeRequest(const QUrl& url) const;
  void watchTls(QNetworkReply* reply);
  void failLater(const RNetResponse& response, std::function<void(const RNetResponse&)> sink);

  QString host_;
  QString port_;
  std::chrono::milliseconds idleTimeout_ = kDefaultIdleTimeout;
  std::chrono::milliseconds connectTimeout_ = kDefaultConnectTimeout;
  std::chrono::milliseconds checkDeadline_ = kDefaultCheckDeadline;
  std::int64_t maxPackageSize_ = kMaxPackageSize;
  std::optional<QSslConfiguration> tls_;       // set once an authority is added
  std::map<QString, QByteArray> knownSha256_;  // downLoadUrl -> sha256 of its package
  WeakDelegateList<RNetManagerDelegate> delegates_;
  // Owns the calls in flight (made first, so deleted first) and the network access manager;
  // goes with the application object for the shared manager.
  QPointer<QObject> context_;
  QPointer<QObject> calls_;
  QPointer<QNetworkAccessManager> network_;
};

}  // namespace vexhal
