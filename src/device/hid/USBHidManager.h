#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/WeakDelegateList.h"
#include "device/hid/HidDiscovery.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidDelegate.h"

namespace vexhal {

// Keeps one USBDevice per attached camera, in order of arrival, and tells its delegates when a
// camera arrives or leaves. Runs on the main thread; delegate calls are made synchronously from
// the discovery's events.
//
// A camera whose node this user may not open is kept too, as a device that is not open, so the
// screens can say why. When its node changes (udev applied an access rule) it is opened again;
// on success the closed device leaves and an open one arrives in its place, as on a re-plug.
class USBHidManager {
 public:
  // The process-wide manager, created on first call (after the QCoreApplication, on the main
  // thread). It uses the udev backend unless another discovery was installed before.
  static USBHidManager& shared();
  // Makes the process-wide manager use `discovery`: the platform sets its own at start-up.
  // Returns false, and changes nothing, once `shared()` has created the manager.
  static bool installDiscovery(std::unique_ptr<HidDiscovery> discovery);

  // A manager on its own discovery; a null discovery gives a manager that finds nothing.
  explicit USBHidManager(std::unique_ptr<HidDiscovery> discovery);
  USBHidManager(const USBHidManager&) = delete;
  USBHidManager& operator=(const USBHidManager&) = delete;
  ~USBHidManager();

  void startMonitoringForVendorID(std::int64_t vendorId, std::int64_t productId);

  // Delegates are held weakly; each is called at most once per event, in the order added.
  void addDelegate(const std::shared_ptr<USBHidDelegate>& delegate);
  void removeDelegate(const std::shared_ptr<USBHidDelegate>& delegate);

  // The attached cameras, oldest first.
  const std::vector<std::shared_ptr<USBDevice>>& devices() const { return devices_; }

 private:
  void addUSBDevice(const HidDeviceRecord& record);
  void removeUSBDevice(const std::string& key);
  void changeUSBDevice(const HidDeviceRecord& record);
  std::shared_ptr<USBDevice> makeDevice(const HidDeviceRecord& record);
  void append(const std::shared_ptr<USBDevice>& device);
  void deviceGone(const std::shared_ptr<USBDevice>& device);
  void removeAt(std::size_t index);

  std::unique_ptr<HidDiscovery> discovery_;
  std::vector<std::shared_ptr<USBDevice>> devices_;
  WeakDelegateList<USBHidDelegate> delegates_;
  QObject context_;  // deferred removals die with the manager
};

}  // namespace vexhal
