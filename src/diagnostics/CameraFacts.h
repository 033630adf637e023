#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "device/linux/UsbSysfsIdentity.h"
#include "diagnostics/ImageControlFacts.h"
#include "diagnostics/NodeFacts.h"
#include "diagnostics/VideoNodeFacts.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {
class QDataBase;
class USBDevice;
class UVCTransportFactory;
}  // namespace vexhal

namespace vexhal::diagnostics {

// Everything the report says about one camera. identify() takes what only the main thread may
// read (the HID link's values, the UVC controls, the stored record); examine() adds the nodes
// and the USB device, on any thread.
struct CameraFacts {
  QString name;
  QString model;
  QString serial;  // as stored: without the camera's zero padding; empty when unknown
  QString firmware;
  std::int64_t state = 0;  // see USBDevice::state()
  std::int64_t locationId = 0;
  QString hidNode;  // the HID link's key, its node path on a real system
  int hidOpenError = 0;
  QJsonObject functions;
  ImageControlFacts controls;
  std::optional<QUVCParams> stored;

  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::optional<UsbSysfsIdentity> usb;
  NodeFacts hidraw;
  std::vector<VideoNodeFacts> video;
  std::optional<QJsonObject> diagnosis;
  QStringList diagnosisText;

  static CameraFacts identify(const USBDevice& device, UVCTransportFactory& uvc,
                              const QDataBase& dataBase);
  // Looks at the camera's nodes and USB device below the system's root; the capture backend
  // (may be null) lists its video devices and their formats.
  void examine(const QCameraAccessSystem& system, video::CaptureBackend* backend,
               V4l2Syscalls& syscalls);

  // Every serial number this camera is known by, for masking.
  QStringList serials() const;

  QJsonObject toJson() const;
  QStringList toText() const;
};

}  // namespace vexhal::diagnostics
