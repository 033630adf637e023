#include "control/ControlReply.h"

#include <algorithm>

#include "control/ProtocolFields.h"

namespace vexhal::control {

namespace {

using protocol::fail;

constexpr qsizetype kMaxMessageLength = 64 * 1024;
// More than a camera's controls for every preset a file may hold.
constexpr qsizetype kMaxAdjusted = 4096;

}  // namespace

QJsonObject toJson(const ControlReply& reply) {
  QJsonObject object{{QStringLiteral("v"), protocol::kVersion},
                     {QStringLiteral("ok"), reply.ok()},
                     {QStringLiteral("exit"), static_cast<int>(reply.exit)}};
  if (!reply.result.isNull() && !reply.result.isUndefined()) {
    object.insert(QStringLiteral("result"), reply.result);
  }
  if (!reply.message.isEmpty()) {
    object.insert(QStringLiteral("message"), reply.message);
  }
  if (reply.code) {
    object.insert(QStringLiteral("code"), static_cast<qint64>(*reply.code));
  }
  if (!reply.adjusted.isEmpty()) {
    object.insert(QStringLiteral("adjusted"), reply.adjusted);
  }
  return object;
}

std::optional<ControlReply> replyFromJson(const QJsonObject& object, QString* error) {
  QString why;
  if (!protocol::checkVersion(object, &why)) {
    return fail(error, why);
  }
  ControlReply reply;
  const std::optional<std::int64_t> exit = protocol::wholeNumber(
      object.value(QLatin1StringView("exit")), static_cast<int>(ExitCode::Done),
      static_cast<int>(ExitCode::AccessRefused));
  if (!exit) {
    return fail(error, QStringLiteral("\"exit\" must be a whole number from 0 to 5"));
  }
  reply.exit = static_cast<ExitCode>(*exit);
  const QJsonValue ok = object.value(QLatin1StringView("ok"));
  if (!ok.isBool() || ok.toBool() != reply.ok()) {
    return fail(error, QStringLiteral("\"ok\" must be true exactly when \"exit\" is 0"));
  }
  const QJsonValue message = object.value(QLatin1StringView("message"));
  if (!message.isUndefined() &&
      (!message.isString() || message.toString().size() > kMaxMessageLength)) {
    return fail(error, QStringLiteral("\"message\" must be a text of at most %1 characters")
                           .arg(kMaxMessageLength));
  }
  reply.message = message.toString();
  const QJsonValue code = object.value(QLatin1StringView("code"));
  if (!code.isUndefined()) {
    // Codes travel as JSON numbers: whole numbers a double holds exactly.
    constexpr std::int64_t kExact = std::int64_t{1} << 53;
    reply.code = protocol::wholeNumber(code, -kExact, kExact);
    if (!reply.code) {
      return fail(error, QStringLiteral("\"code\" must be a whole number"));
    }
  }
  const QJsonValue adjusted = object.value(QLatin1StringView("adjusted"));
  if (!adjusted.isUndefined()) {
    const QJsonArray items = adjusted.toArray();
    if (!adjusted.isArray() || items.size() > kMaxAdjusted ||
        std::any_of(items.begin(), items.end(), [](const QJsonValue& item) {
          return !item.isObject() || !item.toObject().value(QLatin1StringView("text")).isString();
        })) {
      return fail(error, QStringLiteral("\"adjusted\" must be a list of at most %1 objects with "
                                        "a \"text\"")
                             .arg(kMaxAdjusted));
    }
    reply.adjusted = items;
  }
  reply.result = object.value(QLatin1StringView("result"));
  if (reply.result.isUndefined()) {
    reply.result = QJsonValue();
  }
  return reply;
}

QJsonObject progressToJson(int percent) {
  return {{QStringLiteral("v"), protocol::kVersion}, {QStringLiteral("progress"), percent}};
}

std::optional<int> progressFromJson(const QJsonObject& object) {
  QString ignored;
  if (!protocol::checkVersion(object, &ignored)) {
    return std::nullopt;
  }
  const std::optional<std::int64_t> percent =
      protocol::wholeNumber(object.value(QLatin1StringView("progress")), 0, 100);
  if (!percent) {
    return std::nullopt;
  }
  return static_cast<int>(*percent);
}

}  // namespace vexhal::control
