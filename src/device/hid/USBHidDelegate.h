#pragma once

#include <memory>

namespace vexhal {

class USBDevice;
class USBHidManager;

// Hears cameras arrive and leave. Both methods are optional: the defaults do nothing. The
// manager holds delegates weakly (std::weak_ptr), so a destroyed delegate is simply skipped.
class USBHidDelegate {
 public:
  virtual ~USBHidDelegate() = default;
  virtual void usbHidManagerDidAttachDevice(USBHidManager& /*manager*/,
                                            const std::shared_ptr<USBDevice>& /*device*/) {}
  virtual void usbHidManagerDidRemoveDevice(USBHidManager& /*manager*/,
                                            const std::shared_ptr<USBDevice>& /*device*/) {}
};

}  // namespace vexhal
