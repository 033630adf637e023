#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vexhal {

// Vendor, product and location of a USB device, read from its sysfs directory (the usb_device
// that a hidraw node hangs off).
struct UsbSysfsIdentity {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::int64_t locationId = 0;  // 0 when the port path has no location id

  // Reads idVendor, idProduct (hexadecimal), busnum (decimal) and devpath ("1.4.2") under
  // `usbDeviceDir`. Nothing when an attribute is missing or the ids or bus are malformed.
  static std::optional<UsbSysfsIdentity> read(const std::string& usbDeviceDir);
};

}  // namespace vexhal
