#include "diagnostics/SerialMask.h"

#include <QCryptographicHash>

#include <algorithm>
#include <utility>

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

QByteArray SerialMask::feed(QByteArray& pending, QByteArrayView piece) const {
  pending.append(piece);
  const qsizetype cut = pending.lastIndexOf('\n') + 1;
  if (cut > 0) {
    QByteArray done = apply(pending.left(cut));
    pending.remove(0, cut);
    return done;
  }
  if (pending.size() <= kLongestLine) return {};
  // A run without line ends: masked as it is, but its last bytes, which may begin a serial,
  // wait for what follows.
  pending = apply(std::move(pending));
  const qsizetype keep = std::max<qsizetype>(longest_ - 1, 0);
  QByteArray done = pending.left(pending.size() - keep);
  pending.remove(0, pending.size() - keep);
  return done;
}

QByteArray SerialMask::finish(QByteArray& pending) const {
  return apply(std::exchange(pending, {}));
}

}  // namespace vexhal::diagnostics
