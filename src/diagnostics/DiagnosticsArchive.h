#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace vexhal::diagnostics {

class SerialMask;

// Writes the diagnostics zip with libzip. The archive is made in a temporary file beside the
// target and renamed over it once complete, so a failure (full disk, unwritable folder) leaves
// no half-written zip, and a previous file at the target stays as it was.
class DiagnosticsArchive {
 public:
  using File = std::pair<QString, QByteArray>;  // entry name and content

  // Writes `target`: the entries of the log archive `logsZip` (none when empty) under "logs/"
  // in place of their top folder, then `files`. With a mask, every entry's content is masked;
  // log entries are masked as they are packed, a piece at a time.
  // Returns the error for the user ("Could not write <path>: <reason>"), empty on success.
  static QString write(const QString& target, const QString& logsZip,
                       const std::vector<File>& files, const SerialMask* mask);
};

}  // namespace vexhal::diagnostics
