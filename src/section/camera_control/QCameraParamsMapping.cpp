#include "section/camera_control/QCameraParamsMapping.h"

#include <algorithm>

namespace vexhal::cameraparams {

std::int64_t uvcValueForPosition(int position) {
  return std::clamp(position, 0, kSliderMaximum) + uvcValueOffset;
}

int positionForUvcValue(std::int64_t value) {
  // Compared before subtracting, so no value can overflow.
  if (value <= uvcValueOffset) {
    return 0;
  }
  if (value >= uvcValueOffset + kSliderMaximum) {
    return kSliderMaximum;
  }
  return static_cast<int>(value - uvcValueOffset);
}

QString positionLabel(int position) {
  return position == 0 ? QStringLiteral("0") : QString::number(position) + QLatin1Char('%');
}

QUVCParams::ImageMode imageModeForItem(int item) {
  return QUVCParams::imageMode(item).value_or(QUVCParams::ImageMode::custom);
}

QStringList angleItems() {
  return {QStringLiteral("60°"), QStringLiteral("90°"), QStringLiteral("120°")};
}

std::int64_t angleForItem(int item) { return 60 + 30 * std::clamp(item, 0, 2); }

int itemForAngle(std::int64_t angle) {
  if (angle == 60) {
    return 0;
  }
  return angle == 90 ? 1 : 2;
}

QStringList pickupItems() {
  return {QStringLiteral("Low"), QStringLiteral("Medium"), QStringLiteral("High")};
}

std::int64_t pickupForItem(int item) {
  if (item == 0) {
    return 30;
  }
  return item == 1 ? 50 : 80;
}

int itemForPickup(std::int64_t pickup) {
  if (pickup == 30) {
    return 0;
  }
  return pickup == 80 ? 2 : 1;
}

}  // namespace vexhal::cameraparams
