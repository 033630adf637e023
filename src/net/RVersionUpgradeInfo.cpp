#include "net/RVersionUpgradeInfo.h"

#include <QJsonObject>

namespace vexhal {

namespace {

bool isSha256Hex(const QString& text) {
  if (text.size() != 64) {
    return false;
  }
  for (const QChar c : text) {
    const bool hex =
        (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (!hex) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<RVersionUpgradeInfo> RVersionUpgradeInfo::fromJson(const QJsonValue& data) {
  if (!data.isObject()) {
    return std::nullopt;
  }
  const QJsonObject object = data.toObject();
  for (const char* key : {"needUpgrade", "forceStatus"}) {
    if (!object.value(QLatin1StringView(key)).isBool()) {
      return std::nullopt;
    }
  }
  for (const char* key : {"version", "downLoadUrl", "details", "packageSize"}) {
    if (!object.value(QLatin1StringView(key)).isString()) {
      return std::nullopt;
    }
  }
  RVersionUpgradeInfo info;
  const QJsonValue sha256 = object.value(QLatin1StringView("sha256"));
  if (!sha256.isUndefined() && !sha256.isNull()) {
    if (!sha256.isString() || !isSha256Hex(sha256.toString())) {
      return std::nullopt;
    }
    info.sha256 = sha256.toString().toLower().toLatin1();
  }
  info.needUpgrade = object.value(QLatin1StringView("needUpgrade")).toBool();
  info.forceStatus = object.value(QLatin1StringView("forceStatus")).toBool();
  info.version = object.value(QLatin1StringView("version")).toString();
  info.downLoadUrl = object.value(QLatin1StringView("downLoadUrl")).toString();
  info.details = object.value(QLatin1StringView("details")).toString();
  info.packageSize = object.value(QLatin1StringView("packageSize")).toString();
  return info;
}

}  // namespace vexhal
