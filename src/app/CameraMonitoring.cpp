#include "app/CameraMonitoring.h"

#include <ostrane/ostrane.h>

namespace vexhal {

void startCameraMonitoring() {
  // Call site for the HID device manager: its shared instance starts monitoring
  // kCameraVendorId / kCameraProductId here once the HID layer is part of the program.
  QLog("App, startCameraMonitoring, vendor", kCameraVendorId, "product", kCameraProductId);
}

}  // namespace vexhal
