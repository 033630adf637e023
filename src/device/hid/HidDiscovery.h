#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>

#include "base/UniqueFd.h"

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
    // The device's node changed, e.g. udev applied an access rule to it after it arrived.
    std::function<void(const HidDeviceRecord&)> changed;
  };

  // An opened descriptor, or an invalid one and the errno value that says why.
  struct OpenResult {
    UniqueFd fd;
    int error = 0;
  };

  virtual ~HidDiscovery() = default;

  // Starts reporting devices with these ids: those already attached arrive later through the
  // event loop, like new ones. Returns 0, or an errno value when monitoring could not start.
  virtual int start(std::uint16_t vendorId, std::uint16_t productId, Events events) = 0;

  // Opens the device for exclusive use; an invalid descriptor when it cannot be opened (gone,
  // no permission, or held by another process).
  virtual UniqueFd open(const HidDeviceRecord& device) = 0;

  // Like open(), with the reason of a failure: EACCES or EPERM when this user may not open the
  // node, EBUSY when another process holds it, ENOENT or ENODEV when it is gone. A discovery that
  // cannot tell reports EIO.
  virtual OpenResult tryOpen(const HidDeviceRecord& device) {
    OpenResult result{open(device), 0};
    if (!result.fd.isValid()) {
      result.error = EIO;
    }
    return result;
  }
};

}  // namespace vexhal
