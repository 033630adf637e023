#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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

  // Masks a stream line by line: `read` fills a buffer and returns the bytes read (0 at the end,
  // negative on failure); each masked piece goes to `write`, which returns false on failure.
  // Holds one line at a time (a line longer than 1 MiB goes out in pieces, each piece's last
  // bytes carried to the next so that no serial is split). False when reading or writing failed.
  bool stream(const std::function<long long(char* buffer, std::size_t size)>& read,
              const std::function<bool(const QByteArray& piece)>& write) const;

 private:
  struct Entry {
    QByteArray serial;
    QByteArray token;
  };
  std::vector<Entry> serials_;
  qsizetype longest_ = 0;
};

}  // namespace vexhal::diagnostics
