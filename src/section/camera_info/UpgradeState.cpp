#include "section/camera_info/UpgradeState.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace vexhal {

const QString& firmwarePackagePath() {
  // The program's own cache folder, beside its logs: the file is replaced by every download, so
  // it must never be one of the user's files.
  static const QString path =
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1Char('/') +
      QCoreApplication::applicationName() + QStringLiteral("/firmware.bin");
  return path;
}

}  // namespace vexhal
