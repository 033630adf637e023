#pragma once

#include <QList>
#include <QString>

#include "section/camera_list/QCameraDeviceType.h"

namespace vexhal {

// A camera model the program supports, with its product category.
class QCameraSupportedDevice {
 public:
  QCameraSupportedDevice() = default;
  QCameraSupportedDevice(QString modelName, QCameraDeviceType category)
      : name(std::move(modelName)), type(category) {}

  QString name;
  QCameraDeviceType type = QCameraDeviceType::usb;

  // The supported models, in the order the supported-devices sheet lists them.
  static QList<QCameraSupportedDevice> catalogue();

  friend bool operator==(const QCameraSupportedDevice&, const QCameraSupportedDevice&) = default;
};

}  // namespace vexhal
