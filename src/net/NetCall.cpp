#include "net/NetCall.h"

#include <QNetworkReply>

#include "net/NetFailure.h"
#include "net/ServiceEndpoint.h"

namespace vexhal {

NetCall::NetCall(QNetworkReply* reply, std::chrono::milliseconds idleTimeout,
                 std::chrono::milliseconds connectTimeout, QObject* parent,
                 std::optional<std::chrono::milliseconds> deadline)
    : QObject(parent), reply_(reply) {
  reply->setParent(this);
  const auto timedOut = [this] { fail(netFailure(RNetResponse::kTimeout)); };
  idle_.setSingleShot(true);
  idle_.setInterval(idleTimeout);
  connect(&idle_, &QTimer::timeout, this, timedOut);
  // The idle timer restarts with every byte; this one does not, so a peer that trickles its
  // answer cannot keep the call alive.
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, timedOut);
  if (deadline) {
    deadline_.start(*deadline);
  }
  // Name lookup, connection and TLS handshake end when the request goes out. A service that
  // cannot be reached (no answer to the lookup or the connection) fails after this, not after
  // the longer idle timeout.
  connecting_.setSingleShot(true);
  connect(&connecting_, &QTimer::timeout, this,
          [this] { fail(netFailure(RNetResponse::kNoConnection)); });
  connect(reply, &QNetworkReply::requestSent, &connecting_, qOverload<>(&QTimer::stop));
  connecting_.start(connectTimeout);
  const auto progressed = [this] {
    connecting_.stop();
    if (!ended()) {
      idle_.start();
    }
  };
  connect(reply, &QNetworkReply::metaDataChanged, this, [this, progressed] {
    progressed();
    if (!ended()) {
      headersArrived();
    }
  });
  connect(reply, &QNetworkReply::readyRead, this, [this, progressed] {
    progressed();
    if (!ended()) {
      dataArrived();
    }
  });
  connect(reply, &QNetworkReply::encrypted, this, progressed);
  // A redirection may lead only where a request could go in the first place.
  connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& target) {
    redirected_ = true;
    if (isSecureOrLocal(target)) {
      Q_EMIT reply_->redirectAllowed();
    } else {
      fail(netFailure(RNetResponse::kBadAddress));
    }
  });
  connect(reply, &QNetworkReply::finished, this, &NetCall::finished);
  idle_.start();
}

NetCall::~NetCall() {
  if (reply_ != nullptr && !reply_->isFinished()) {
    // Dropped without a completion: the manager went away.
    reply_->disconnect(this);
    reply_->abort();
  }
}

void NetCall::fail(const RNetResponse& failure) {
  if (ended()) {
    return;
  }
  failure_ = failure;
  idle_.stop();
  deadline_.stop();
  connecting_.stop();
  // abort() emits finished(), which delivers the failure; a reply that already failed on its
  // own (an error status, say) is finishing anyway.
  if (reply_->error() == QNetworkReply::NoError) {
    reply_->abort();
  }
}

void NetCall::finished() {
  if (ended_) {
    return;
  }
  ended_ = true;
  idle_.stop();
  deadline_.stop();
  connecting_.stop();
  deleteLater();
  // The network layer can give up on a chain of redirections (a loop, say) with neither an
  // error nor a final status: that is no answer.
  if (!failure_ && reply_->error() == QNetworkReply::NoError && httpStatus(*reply_) < 200) {
    failure_ = netFailure(redirected_ ? RNetResponse::kRedirectFailure : RNetResponse::kBadAnswer);
  }
  finish(failure_);
}

}  // namespace vexhal
