#pragma once

#include <QPointer>

#include <memory>

#include "device/hid/USBHidDelegate.h"

namespace vexhal {

// The HID manager holds its delegates weakly and outside Qt's object tree, so a screen
// registers this small link, which forwards arrivals and removals to the screen while the
// screen exists. `Screen` has usbHidManagerDidAttachDevice and usbHidManagerDidRemoveDevice
// taking the device.
template <typename Screen>
class QHidDelegateLink : public USBHidDelegate {
 public:
  explicit QHidDelegateLink(Screen* screen) : screen_(screen) {}

  void usbHidManagerDidAttachDevice(USBHidManager& /*manager*/,
                                    const std::shared_ptr<USBDevice>& device) override {
    if (screen_) {
      screen_->usbHidManagerDidAttachDevice(device);
    }
  }
  void usbHidManagerDidRemoveDevice(USBHidManager& /*manager*/,
                                    const std::shared_ptr<USBDevice>& device) override {
    if (screen_) {
      screen_->usbHidManagerDidRemoveDevice(device);
    }
  }

 private:
  QPointer<Screen> screen_;
};

}  // namespace vexhal
