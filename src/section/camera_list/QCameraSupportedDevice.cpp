#include "section/camera_list/QCameraSupportedDevice.h"

namespace vexhal {

QList<QCameraSupportedDevice> QCameraSupportedDevice::catalogue() {
  return {{QStringLiteral("PICO EDGE"), QCameraDeviceType::usb},
          {QStringLiteral("Halden Desk"), QCameraDeviceType::offset}};
}

}  // namespace vexhal
