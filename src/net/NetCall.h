#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <optional>

#include "net/RNetResponse.h"

namespace vexhal {

// One GET in flight: owns its reply, fails it when it has not reached the server within a
// connect timeout, after an idle timeout (and, when given, after a total deadline), lets it follow
// only redirections to https or loopback http, and finishes exactly once. Subclasses read the
// answer and deliver the single completion from finish().
class NetCall : public QObject {
 public:
  NetCall(QNetworkReply* reply, std::chrono::milliseconds idleTimeout,
          std::chrono::milliseconds connectTimeout, QObject* parent,
          std::optional<std::chrono::milliseconds> deadline = std::nullopt);
  ~NetCall() override;

 protected:
  QNetworkReply& reply() { return *reply_; }
  // Ends the call with `failure`, whatever the reply does afterwards.
  void fail(const RNetResponse& failure);
  bool ended() const { return ended_ || failure_.has_value(); }

  virtual void headersArrived() {}
  virtual void dataArrived() {}
  // Called once; `failure` is set when fail() was called before the reply finished.
  virtual void finish(const std::optional<RNetResponse>& failure) = 0;

 private:
  void finished();

  QPointer<QNetworkReply> reply_;
  QTimer idle_;
  QTimer connecting_;
  QTimer deadline_;
  std::optional<RNetResponse> failure_;
  bool redirected_ = false;
  bool ended_ = false;
};

}  // namespace vexhal
