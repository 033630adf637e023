#include "net/VersionCheckCall.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkReply>

#include <cmath>

#include "net/NetFailure.h"

namespace vexhal {

VersionCheckCall::VersionCheckCall(QNetworkReply* reply, std::chrono::milliseconds idleTimeout,
                                   std::chrono::milliseconds connectTimeout,
                                   std::chrono::milliseconds deadline, Completion completion,
                                   QObject* parent)
    : NetCall(reply, idleTimeout, connectTimeout, parent, deadline),
      completion_(std::move(completion)) {
  reply->setReadBufferSize(kReadBufferSize);
}

void VersionCheckCall::headersArrived() {
  const QVariant length = reply().header(QNetworkRequest::ContentLengthHeader);
  if (httpStatus(reply()) == 200 && length.isValid() && length.toLongLong() > kMaxAnswerSize) {
    fail(netFailure(RNetResponse::kBadAnswer));
  }
}

void VersionCheckCall::dataArrived() {
  // Never more than one byte past the cap: that byte is enough to refuse the answer.
  body_ += reply().read(kMaxAnswerSize + 1 - body_.size());
  if (body_.size() > kMaxAnswerSize) {
    fail(netFailure(RNetResponse::kBadAnswer));
  }
}

void VersionCheckCall::finish(const std::optional<RNetResponse>& failure) {
  const Completion completion = std::move(completion_);
  if (failure) {
    completion(*failure, std::nullopt);
    return;
  }
  if (reply().error() != QNetworkReply::NoError || httpStatus(reply()) != 200) {
    completion(replyFailure(reply(), false), std::nullopt);
    return;
  }
  dataArrived();
  if (body_.size() > kMaxAnswerSize) {
    completion(netFailure(RNetResponse::kBadAnswer), std::nullopt);
    return;
  }
  const auto [response, data] = decode(body_);
  completion(response, data);
}

std::pair<RNetResponse, std::optional<RVersionUpgradeInfo>> VersionCheckCall::decode(
    const QByteArray& body) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(body, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    return {netFailure(RNetResponse::kBadAnswer), std::nullopt};
  }
  const QJsonObject answer = document.object();
  const QJsonValue code = answer.value(QLatin1StringView("code"));
  const QJsonValue message = answer.value(QLatin1StringView("message"));
  // JSON numbers arrive as doubles; a code must be a whole number a 64-bit integer can hold.
  const double number = code.toDouble(0.5);
  if (!code.isDouble() || std::trunc(number) != number || std::fabs(number) > 9.0e15 ||
      !(message.isString() || message.isUndefined() || message.isNull())) {
    return {netFailure(RNetResponse::kBadAnswer), std::nullopt};
  }
  RNetResponse response{static_cast<std::int64_t>(number), message.toString()};
  if (response.code != RNetResponse::kSuccess) {
    if (response.message.trimmed().isEmpty()) {
      response.message =
          QStringLiteral("The update service reported an error (code %1).").arg(response.code);
    }
    return {response, std::nullopt};
  }
  return {response, RVersionUpgradeInfo::fromJson(answer.value(QLatin1StringView("data")))};
}

}  // namespace vexhal
