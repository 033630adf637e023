#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/hid/UniqueFd.h"

namespace vexhal {

// One camera HID interface as discovery sees it.
struct HidDeviceRecord {
  std::string key;  // stable while the device is attached, e.g. its device node path
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::int64_t locationId = 0;
};

// Finds camera HID interfaces and opens them. The udev backend serves the program; tests and
// the virtual camera install their own. Everything runs on the main thread.
class HidDiscovery {
 public:
  struct Events {
    std::function<void(const HidDeviceRecord&)> arrived;
    std::function<void(const std::string& key)> removed;
  };

  virtual ~HidDiscovery() = default;

  // Starts reporting devices with these ids: those already attached arrive later through the
  // event loop, like new ones. Returns 0, or an errno value when monitoring could not start.
  virtual int start(std::uint16_t vendorId, std::uint16_t productId, Events events) = 0;

  // Opens the device for exclusive use; an invalid descriptor when it cannot be opened (gone,
  // no permission, or held by another process).
  virtual UniqueFd open(const HidDeviceRecord& device) = 0;
};

}  // namespace vexhal
