#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vexhal {

// The value of the first Usage Page item of a HID report descriptor; nothing when it has none
// or the descriptor ends inside an item.
std::optional<std::uint32_t> firstUsagePage(std::span<const std::uint8_t> descriptor);

// Whether the HID device at `hidDeviceDir` (its sysfs directory) is the camera's vendor
// interface: the first Usage Page of its report_descriptor is vendor-defined (0xFF00 to 0xFFFF).
// A descriptor that cannot be read counts as vendor-defined, so the camera is not lost where
// the kernel does not offer it.
bool isVendorHidInterface(const std::string& hidDeviceDir);

}  // namespace vexhal
