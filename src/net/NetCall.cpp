#include "net/NetCall.h"

#include <QNetworkReply>

#include "net/NetFailure.h"
#include "net/ServiceEndpoint.h"

namespace vexhal {

NetCall::NetCall(QNetworkReply* reply, std::chrono::milliseconds idleTimeout, QObject* parent)
    : QObject(parent), reply_(reply) {
  reply->setParent(this);
  idle_.setSingleShot(true);
  idle_.setInterval(idleTimeout);
  connect(&idle_, &QTimer::timeout, this,
          [this] { fail(netFailure(RNetResponse::kTimeout)); });
  const auto progressed = [this] {
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
    if (isSecureOrLocal(target)) {
      emit reply_->redirectAllowed();
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
  deleteLater();
  finish(failure_);
}

}  // namespace vexhal
