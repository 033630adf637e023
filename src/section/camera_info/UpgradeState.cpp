#include "section/camera_info/UpgradeState.h"

#include <QStandardPaths>

namespace vexhal {

namespace {
bool inProgress = false;
}  // namespace

bool upgradeInProgress() { return inProgress; }

void setUpgradeInProgress(bool value) { inProgress = value; }

const QString& firmwarePackagePath() {
  static const QString path =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/firmware.bin");
  return path;
}

}  // namespace vexhal
