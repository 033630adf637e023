#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexhal {

// Ids, serial, bus, port path and location of a USB device, read from its sysfs directory (the
// usb_device that a camera's hidraw and video nodes hang off).
struct UsbSysfsIdentity {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::int64_t locationId = 0;  // 0 when the port path has no location id
  int busNumber = 0;
  std::string devpath;  // the port path, "1.4.2"
  std::string serial;   // empty when the device has none

  // Reads idVendor, idProduct (hexadecimal), busnum (decimal), devpath ("1.4.2") and serial under
  // `usbDeviceDir`. Nothing when an attribute other than the serial is missing or the ids or bus
  // are malformed.
  static std::optional<UsbSysfsIdentity> read(const std::string& usbDeviceDir);
};

}  // namespace vexhal
