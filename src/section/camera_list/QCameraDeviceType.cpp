#include "section/camera_list/QCameraDeviceType.h"

#include <array>

namespace vexhal {
namespace {

constexpr std::array kTypes{QCameraDeviceType::usb, QCameraDeviceType::offset,
                            QCameraDeviceType::terminal};

}  // namespace

QString rawValue(QCameraDeviceType type) {
  switch (type) {
    case QCameraDeviceType::usb:
      return QStringLiteral("USB相机");
    case QCameraDeviceType::offset:
      return QStringLiteral("桌面会议一体机");
    case QCameraDeviceType::terminal:
      return QStringLiteral("会议终端");
  }
  return {};
}

std::optional<QCameraDeviceType> cameraDeviceTypeFromRawValue(const QString& text) {
  for (const QCameraDeviceType type : kTypes) {
    if (rawValue(type) == text) {
      return type;
    }
  }
  return std::nullopt;
}

}  // namespace vexhal
