#pragma once

#include <functional>
#include <optional>

#include "net/NetCall.h"
#include "net/RNetResponse.h"
#include "net/RVersionUpgradeInfo.h"

namespace vexhal {

// One version check: reads the JSON answer (at most kMaxAnswerSize bytes) and decodes it. The
// whole check, connecting included, ends by its deadline.
class VersionCheckCall : public NetCall {
 public:
  using Completion = std::function<void(const RNetResponse& response,
                                        const std::optional<RVersionUpgradeInfo>& data)>;
  static constexpr qint64 kMaxAnswerSize = 1024 * 1024;
  // Bytes the network layer may hold ahead of the call, so an endless answer stops near the cap.
  static constexpr qint64 kReadBufferSize = 64 * 1024;

  VersionCheckCall(QNetworkReply* reply, std::chrono::milliseconds idleTimeout,
                   std::chrono::milliseconds connectTimeout, std::chrono::milliseconds deadline,
                   Completion completion, QObject* parent);

  // Decodes a whole answer body: {"code": integer, "message": text, "data": ...}. A non-zero
  // code is the service's own failure; anything not of this shape is kBadAnswer.
  static std::pair<RNetResponse, std::optional<RVersionUpgradeInfo>> decode(const QByteArray& body);

 private:
  void headersArrived() override;
  void dataArrived() override;
  void finish(const std::optional<RNetResponse>& failure) override;

  QByteArray body_;
  Completion completion_;
};

}  // namespace vexhal
