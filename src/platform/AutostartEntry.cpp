#include "platform/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace vexhal {

namespace {

// The launcher's desktop id: the entry is the launcher's, started differently.
constexpr char kDesktopId[] = "org.example.vexhal.VexhalTools";

// An Exec argument, quoted when it holds anything the desktop would split or expand.
QString execArgument(const QString& argument) {
  static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
  if (!argument.isEmpty() && std::none_of(argument.begin(), argument.end(),
                                          [](QChar c) { return kReserved.contains(c); })) {
    return argument;
  }
  QString quoted = argument;
  for (const char* special : {"\\", "\"", "`", "$"}) {
    quoted.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
  }
  // A field code must not be taken for one.
  quoted.replace(QStringLiteral("%"), QStringLiteral("%%"));
  // The value is an escaped string too: each backslash is written twice.
  quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

AutostartEntry::AutostartEntry(QString directory, QString program)
    : directory_(std::move(directory)), program_(std::move(program)) {}

QString AutostartEntry::defaultDirectory() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart");
}

QString AutostartEntry::filePath() const {
  return QDir(directory_).filePath(QString::fromLatin1(kDesktopId) + QStringLiteral(".desktop"));
}

bool AutostartEntry::isEnabled() const { return QFile::exists(filePath()); }

QByteArray AutostartEntry::contents() const {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=VexhalTools\n"
             "Comment=Keeps the image settings of USB conference cameras\n"
             "Exec=%1 --background\n"
             "Icon=%2\n"
             "Terminal=false\n")
      .arg(execArgument(program_), QString::fromLatin1(kDesktopId))
      .toUtf8();
}

bool AutostartEntry::setEnabled(bool enabled, QString* error) {
  if (!enabled) {
    QFile entry(filePath());
    if (!entry.exists() || entry.remove()) {
      return true;
    }
    *error = entry.errorString();
    return false;
  }
  if (!QDir().mkpath(directory_)) {
    *error = QStringLiteral("cannot make the folder %1").arg(directory_);
    return false;
  }
  QSaveFile entry(filePath());
  if (!entry.open(QIODevice::WriteOnly) || entry.write(contents()) < 0 || !entry.commit()) {
    *error = entry.errorString();
    return false;
  }
  return true;
}

}  // namespace vexhal
