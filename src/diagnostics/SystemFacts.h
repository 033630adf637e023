#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vexhal::diagnostics {

// The machine the program runs on, as a support request needs it.
struct SystemFacts {
  QString programVersion;
  QString gitVersion;
  QString qtVersion;
  QString kernel;        // "Linux 6.1.0-13-amd64 #1 SMP … x86_64"
  QString distribution;  // PRETTY_NAME of os-release, else NAME and VERSION
  QString sessionType;   // "wayland", "x11", "tty" or "unknown"
  QString sandbox;       // "none", "flatpak" or "snap"

  // Reads the running system; files are looked up below `root` ("/" normally, a test's tree).
  static SystemFacts gather(const QString& root);

  QJsonObject toJson() const;
  // "Label: value" lines.
  QStringList toText() const;
};

}  // namespace vexhal::diagnostics
