#include "app/CameraMonitoring.h"

#include <ostrane/ostrane.h>

#include "device/hid/USBHidManager.h"

namespace vexhal {

void startCameraMonitoring() {
  QLog("App, startCameraMonitoring, vendor", kCameraVendorId, "product", kCameraProductId);
  USBHidManager::shared().startMonitoringForVendorID(kCameraVendorId, kCameraProductId);
}

}  // namespace vexhal
