#include "section/camera_list/QCameraDeviceType.h"

namespace vexhal {

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

}  // namespace vexhal
