#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace vexhal::diagnostics {

// Replaces serial numbers with a stable hash ("serial-" and twelve hexadecimal digits of their
// SHA-256), the same in every file and every export, so lines about one camera still match.
class SerialMask {
 public:
  // Empty texts are ignored; longer serials are replaced first, so one that contains another
  // is not left half masked.
  explicit SerialMask(const QStringList& serials);

  static QString tokenFor(const QString& serial);
  bool empty() const { return serials_.empty(); }

  QByteArray apply(QByteArray text) const;

  // Masks text that arrives in pieces, line by line: `pending` (the caller's, empty at first)
  // keeps the unfinished line between calls. Returns the masked text of the lines completed by
  // `piece`; a line longer than 1 MiB goes out in parts, the last bytes of each carried to the
  // next so that no serial is split. finish() returns the rest.
  QByteArray feed(QByteArray& pending, QByteArrayView piece) const;
  QByteArray finish(QByteArray& pending) const;

 private:
  struct Entry {
    QByteArray serial;
    QByteArray token;
  };
  std::vector<Entry> serials_;
  qsizetype longest_ = 0;
};

}  // namespace vexhal::diagnostics
