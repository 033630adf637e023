#include "section/camera_control/QUVCParams.h"

namespace vexhal {

std::optional<QUVCParams::ImageMode> QUVCParams::imageMode(std::int64_t rawValue) {
  if (rawValue < 0 || rawValue > static_cast<std::int64_t>(ImageMode::custom)) {
    return std::nullopt;
  }
  return static_cast<ImageMode>(rawValue);
}

QString QUVCParams::label(ImageMode mode) {
  switch (mode) {
    case ImageMode::standard:
      return QStringLiteral("Standard");
    case ImageMode::bright:
      return QStringLiteral("Bright");
    case ImageMode::vivid:
      return QStringLiteral("Vivid");
    case ImageMode::custom:
      return QStringLiteral("Custom");
  }
  return {};
}

QStringList QUVCParams::modeLabels() {
  return {label(ImageMode::standard), label(ImageMode::bright), label(ImageMode::vivid),
          label(ImageMode::custom)};
}

QUVCParams QUVCParams::preset(ImageMode mode) {
  switch (mode) {
    case ImageMode::bright:
      return {mode, 138, 128, 130, 120};
    case ImageMode::vivid:
      return {mode, 130, 128, 140, 120};
    case ImageMode::standard:
    case ImageMode::custom:
      break;
  }
  return {mode, 128, 128, 128, 128};
}

}  // namespace vexhal
