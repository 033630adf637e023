#include "diagnostics/SerialMask.h"

#include <QCryptographicHash>

#include <algorithm>

namespace vexhal::diagnostics {

namespace {

constexpr qsizetype kLongestLine = 1024 * 1024;

}  // namespace

SerialMask::SerialMask(const QStringList& serials) {
  for (const QString& serial : serials) {
    const QByteArray bytes = serial.toUtf8();
    if (bytes.isEmpty() || std::any_of(serials_.begin(), serials_.end(),
                                       [&](const Entry& e) { return e.serial == bytes; }))
      continue;
    serials_.push_back({bytes, tokenFor(serial).toLatin1()});
    longest_ = std::max(longest_, bytes.size());
  }
  std::sort(serials_.begin(), serials_.end(),
            [](const Entry& a, const Entry& b) { return a.serial.size() > b.serial.size(); });
}

QString SerialMask::tokenFor(const QString& serial) {
  const QByteArray digest = QCryptographicHash::hash(serial.toUtf8(), QCryptographicHash::Sha256);
  return QStringLiteral("serial-") + QString::fromLatin1(digest.toHex().left(12));
}

QByteArray SerialMask::apply(QByteArray text) const {
  for (const Entry& entry : serials_) text.replace(entry.serial, entry.token);
  return text;
}

bool SerialMask::stream(const std::function<long long(char*, std::size_t)>& read,
                        const std::function<bool(const QByteArray&)>& write) const {
  QByteArray pending;
  char buffer[64 * 1024];
  for (;;) {
    const long long got = read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) break;
    pending.append(buffer, static_cast<qsizetype>(got));
    const qsizetype cut = pending.lastIndexOf('\n') + 1;
    if (cut > 0) {
      if (!write(apply(pending.left(cut)))) return false;
      pending.remove(0, cut);
    } else if (pending.size() > kLongestLine) {
      // A run without line ends: masked as it is, but its last bytes, which may begin a
      // serial, wait for what follows.
      pending = apply(std::move(pending));
      const qsizetype keep = std::max<qsizetype>(longest_ - 1, 0);
      if (!write(pending.left(pending.size() - keep))) return false;
      pending.remove(0, pending.size() - keep);
    }
  }
  return pending.isEmpty() || write(apply(pending));
}

}  // namespace vexhal::diagnostics
