#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <optional>

#include "device/hid/HidDiscovery.h"
#include "device/linux/UdevCamera.h"

struct udev;
struct udev_device;
struct udev_monitor;

namespace vexhal {

// Discovery of camera HID interfaces through libudev: lists the cameras' hidraw nodes and watches
// udev's monitor socket on the main loop. Identity comes from the parent usb_device.
class UdevHidDiscovery final : public HidDiscovery {
 public:
  // Nothing when libudev cannot be set up.
  static std::unique_ptr<UdevHidDiscovery> create();
  ~UdevHidDiscovery() override;

  int start(std::uint16_t vendorId, std::uint16_t productId, Events events) override;
  // Opens the hidraw node read-write and non-blocking, and takes an exclusive flock() on it, so
  // a camera that another process holds is left alone.
  UniqueFd open(const HidDeviceRecord& device) override;
  OpenResult tryOpen(const HidDeviceRecord& device) override;

 private:
  explicit UdevHidDiscovery(struct udev* context);
  void enumerate();
  void monitorReady();
  // The record of a hidraw node of a camera with the wanted ids; nothing for another device or
  // another of the camera's HID interfaces.
  std::optional<HidDeviceRecord> recordFor(const UdevCamera& camera,
                                           const UdevCamera::HidrawNode& hidraw) const;

  struct udev* udev_;
  struct udev_monitor* monitor_ = nullptr;
  std::uint16_t vendorId_ = 0;
  std::uint16_t productId_ = 0;
  Events events_;
  QObject context_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vexhal
