#include "diagnostics/SystemFacts.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <sys/utsname.h>

namespace vexhal::diagnostics {

namespace {

// The value of `key` in an os-release file, quotes removed; empty when missing.
QString osReleaseValue(const QList<QByteArray>& lines, const QByteArray& key) {
  for (const QByteArray& line : lines) {
    if (!line.startsWith(key + '=')) continue;
    QByteArray value = line.mid(key.size() + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value);
  }
  return {};
}

QString distributionBelow(const QString& root) {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    QFile file(root + QLatin1String(path));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QList<QByteArray> lines = file.readAll().split('\n');
    const QString pretty = osReleaseValue(lines, "PRETTY_NAME");
    if (!pretty.isEmpty()) return pretty;
    return (osReleaseValue(lines, "NAME") + u' ' + osReleaseValue(lines, "VERSION")).trimmed();
  }
  return QStringLiteral("unknown");
}

QString sessionTypeNow() {
  const QString type = qEnvironmentVariable("XDG_SESSION_TYPE").toLower();
  if (!type.isEmpty()) return type;
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return QStringLiteral("wayland");
  if (!qEnvironmentVariableIsEmpty("DISPLAY")) return QStringLiteral("x11");
  return QStringLiteral("unknown");
}

QString kernelNow() {
  struct utsname name {};
  if (::uname(&name) != 0) return QStringLiteral("unknown");
  return QStringLiteral("%1 %2 %3 %4")
      .arg(QString::fromLocal8Bit(name.sysname), QString::fromLocal8Bit(name.release),
           QString::fromLocal8Bit(name.version), QString::fromLocal8Bit(name.machine));
}

}  // namespace

SystemFacts SystemFacts::gather(const QString& root) {
  SystemFacts facts;
  facts.programVersion = QStringLiteral(VEXHAL_VERSION);
  facts.gitVersion = QStringLiteral(VEXHAL_GIT_DESCRIBE);
  facts.qtVersion = QString::fromLatin1(qVersion());
  facts.kernel = kernelNow();
  facts.distribution = distributionBelow(root);
  facts.sessionType = sessionTypeNow();
  if (QFileInfo::exists(root + QStringLiteral("/.flatpak-info")))
    facts.sandbox = QStringLiteral("flatpak");
  else if (!qEnvironmentVariableIsEmpty("SNAP"))
    facts.sandbox = QStringLiteral("snap");
  else
    facts.sandbox = QStringLiteral("none");
  return facts;
}

QJsonObject SystemFacts::toJson() const {
  return {{QStringLiteral("programVersion"), programVersion},
          {QStringLiteral("gitVersion"), gitVersion},
          {QStringLiteral("qtVersion"), qtVersion},
          {QStringLiteral("kernel"), kernel},
          {QStringLiteral("distribution"), distribution},
          {QStringLiteral("sessionType"), sessionType},
          {QStringLiteral("sandbox"), sandbox}};
}

QStringList SystemFacts::toText() const {
  return {QStringLiteral("Program version: %1 (%2)")
              .arg(programVersion,
                   gitVersion.isEmpty() ? QStringLiteral("no git version") : gitVersion),
          QStringLiteral("Qt version: ") + qtVersion,
          QStringLiteral("Kernel: ") + kernel,
          QStringLiteral("Distribution: ") + distribution,
          QStringLiteral("Session type: ") + sessionType,
          QStringLiteral("Sandbox: ") + sandbox};
}

}  // namespace vexhal::diagnostics
