#pragma once

#include <QString>

namespace vexhal {

// The product category of a supported camera. The raw values are shown to the user as they
// are.
enum class QCameraDeviceType { usb, offset, terminal };

QString rawValue(QCameraDeviceType type);

}  // namespace vexhal
