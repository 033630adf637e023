// Feeds the whole input as the body of an update service's version-check answer to
// VersionCheckCall::decode. An accepted answer must carry what the decoder promises, and an
// offer written back as JSON must decode to the same offer.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

#include "net/VersionCheckCall.h"

namespace {

using vexhal::RNetResponse;
using vexhal::RVersionUpgradeInfo;

bool isLowerHex(const QByteArray& text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return text.size() == 64;
}

QJsonObject toJson(const RVersionUpgradeInfo& info) {
  QJsonObject data{{"needUpgrade", info.needUpgrade}, {"forceStatus", info.forceStatus},
                   {"version", info.version},         {"downLoadUrl", info.downLoadUrl},
                   {"details", info.details},         {"packageSize", info.packageSize}};
  if (info.sha256) {
    data.insert(QLatin1StringView("sha256"), QString::fromLatin1(*info.sha256));
  }
  return QJsonObject{{"code", 0}, {"message", "success"}, {"data", data}};
}

bool same(const RVersionUpgradeInfo& a, const RVersionUpgradeInfo& b) {
  return a.needUpgrade == b.needUpgrade && a.forceStatus == b.forceStatus &&
         a.version == b.version && a.downLoadUrl == b.downLoadUrl && a.details == b.details &&
         a.packageSize == b.packageSize && a.sha256 == b.sha256;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const auto [response, info] = vexhal::VersionCheckCall::decode(body);
  // A refusal always has words for the user; only a successful answer may carry an offer.
  if (response.code != RNetResponse::kSuccess && response.message.trimmed().isEmpty()) {
    __builtin_trap();
  }
  if (info && response.code != RNetResponse::kSuccess) {
    __builtin_trap();
  }
  if (!info) {
    return 0;
  }
  if (info->sha256 && !isLowerHex(*info->sha256)) {
    __builtin_trap();
  }
  const QByteArray again = QJsonDocument(toJson(*info)).toJson(QJsonDocument::Compact);
  const auto [response2, info2] = vexhal::VersionCheckCall::decode(again);
  if (response2.code != RNetResponse::kSuccess || !info2 || !same(*info, *info2)) {
    __builtin_trap();
  }
  return 0;
}
