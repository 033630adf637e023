#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace vexhal {

// What the service says about a newer version of a product.
struct RVersionUpgradeInfo {
  bool needUpgrade = false;
  bool forceStatus = false;
  QString version;
  QString downLoadUrl;
  QString details;
  QString packageSize;  // display text, e.g. "12.5 MB"
  // Lower-case hexadecimal SHA-256 of the package, when the service gives one.
  std::optional<QByteArray> sha256;

  // Reads the `data` member of a version-check answer. Anything but an object with the six
  // fields in their JSON types (booleans and strings; sha256, when present, 64 hex digits) is
  // data of another type and gives nothing.
  static std::optional<RVersionUpgradeInfo> fromJson(const QJsonValue& data);
};

}  // namespace vexhal
