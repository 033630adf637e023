#pragma once

#include <QString>

#include <optional>

namespace vexhal {

// The product category of a supported camera. The raw values are shown to the user as they
// are.
enum class QCameraDeviceType { usb, offset, terminal };

QString rawValue(QCameraDeviceType type);
// The category with this raw value, or nothing.
std::optional<QCameraDeviceType> cameraDeviceTypeFromRawValue(const QString& rawValue);

}  // namespace vexhal
