#pragma once

#include <functional>

#include "device/hid/USBDevice.h"
#include "section/camera_control/QHIDSetting.h"

// The HID command of each camera function, for the function page and the control requests.
namespace vexhal::hidfields {

// Reads `field`; `done` gets the camera's result code and the value (a switch as 1 or 0).
void read(USBDevice& device, QHIDSetting::Field field, USBDevice::ValueCallback done);
// Sends `setting`; `done` gets the camera's result code.
void write(USBDevice& device, const QHIDSetting& setting, USBDevice::CodeCallback done);

}  // namespace vexhal::hidfields
