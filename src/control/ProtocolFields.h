#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>

#include "control/ControlRequest.h"

// Readers of the protocol objects' members that never trust the peer: a wrong type is an
// error, not a default.
namespace vexhal::control::protocol {

inline constexpr int kVersion = ControlRequest::kProtocolVersion;

// A whole number held exactly by a JSON double, within [minimum, maximum].
inline std::optional<std::int64_t> wholeNumber(const QJsonValue& value, std::int64_t minimum,
                                               std::int64_t maximum) {
  if (!value.isDouble()) {
    return std::nullopt;
  }
  const double number = value.toDouble();
  if (!(number >= static_cast<double>(minimum) && number <= static_cast<double>(maximum)) ||
      number != static_cast<double>(static_cast<std::int64_t>(number))) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(number);
}

// Checks the object's "v": false, with the reason in `error`, unless it is this protocol's.
inline bool checkVersion(const QJsonObject& object, QString* error) {
  const QJsonValue v = object.value(QLatin1StringView("v"));
  if (v.isUndefined()) {
    *error = QStringLiteral("the protocol version \"v\" is missing");
    return false;
  }
  if (wholeNumber(v, kVersion, kVersion)) {
    return true;
  }
  *error = QStringLiteral("protocol version %1 is not supported (this side speaks %2)")
               .arg(v.isDouble() ? QString::number(v.toDouble()) : QStringLiteral("of wrong type"))
               .arg(kVersion);
  return false;
}

// Sets `error` and gives nothing, so a reader can `return fail(error, ...)`.
inline std::nullopt_t fail(QString* error, const QString& why) {
  if (error != nullptr) {
    *error = why;
  }
  return std::nullopt;
}

}  // namespace vexhal::control::protocol
