#include "device/hid/USBHidManager.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "device/hid/HidLog.h"
#include "device/hid/linux/UdevHidDiscovery.h"

namespace vexhal {

namespace {

std::mutex& sharedMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unique_ptr<HidDiscovery>& installedDiscovery() {
  static std::unique_ptr<HidDiscovery> discovery;
  return discovery;
}

bool sharedCreated = false;

}  // namespace

USBHidManager& USBHidManager::shared() {
  // Created once and kept for the life of the process, like the monitoring it runs.
  static USBHidManager* const instance = [] {
    const std::lock_guard lock(sharedMutex());
    sharedCreated = true;
    std::unique_ptr<HidDiscovery> discovery = std::move(installedDiscovery());
    if (!discovery) {
      discovery = UdevHidDiscovery::create();
      if (!discovery) {
        hidLog(LOG_ERR, "%s: 创建HID设备管理器失败", "USBHidManager::shared");
      }
    }
    return new USBHidManager(std::move(discovery));
  }();
  return *instance;
}

bool USBHidManager::installDiscovery(std::unique_ptr<HidDiscovery> discovery) {
  const std::lock_guard lock(sharedMutex());
  if (sharedCreated) {
    return false;
  }
  installedDiscovery() = std::move(discovery);
  return true;
}

USBHidManager::USBHidManager(std::unique_ptr<HidDiscovery> discovery)
    : discovery_(std::move(discovery)) {}

USBHidManager::~USBHidManager() {
  for (const auto& device : devices_) {
    device->setGoneHandler({});
  }
}

void USBHidManager::startMonitoringForVendorID(std::int64_t vendorId, std::int64_t productId) {
  if (!discovery_) {
    return;
  }
  if (vendorId < 0 || vendorId > 0xFFFF || productId < 0 || productId > 0xFFFF) {
    hidLog(LOG_ERR, "创建CFMutableDictionaryRef失败");
    return;
  }
  HidDiscovery::Events events;
  events.arrived = [this](const HidDeviceRecord& record) { addUSBDevice(record); };
  events.removed = [this](const std::string& key) { removeUSBDevice(key); };
  events.changed = [this](const HidDeviceRecord& record) { changeUSBDevice(record); };
  const int status = discovery_->start(static_cast<std::uint16_t>(vendorId),
                                       static_cast<std::uint16_t>(productId), std::move(events));
  if (status != 0) {
    hidLog(LOG_ERR, "IOHIDManagerOpen error: 0x%08u", static_cast<unsigned>(status));
  } else {
    hidLog(LOG_INFO, "USBConnector Monitoring started: %d, %d", static_cast<int>(vendorId),
           static_cast<int>(productId));
  }
}

void USBHidManager::addDelegate(const std::shared_ptr<USBHidDelegate>& delegate) {
  delegates_.add(delegate);
}

void USBHidManager::removeDelegate(const std::shared_ptr<USBHidDelegate>& delegate) {
  delegates_.remove(delegate);
}

void USBHidManager::addUSBDevice(const HidDeviceRecord& record) {
  hidLog(LOG_INFO, "设备插入: %s", record.key.c_str());
  const bool known = std::any_of(devices_.begin(), devices_.end(),
                                 [&](const auto& device) { return device->key() == record.key; });
  if (known) {
    return;  // enumeration and the monitor may both report a device that arrived meanwhile
  }
  if (auto device = makeDevice(record)) {
    append(device);
  }
}

void USBHidManager::append(const std::shared_ptr<USBDevice>& device) {
  devices_.push_back(device);
  delegates_.forEach(
      [&](USBHidDelegate& delegate) { delegate.usbHidManagerDidAttachDevice(*this, device); });
}

std::shared_ptr<USBDevice> USBHidManager::makeDevice(const HidDeviceRecord& record) {
  HidDiscovery::OpenResult opened = discovery_->tryOpen(record);
  if (!opened.fd.isValid()) {
    // Refused access is listed so the user learns why; a camera held by another program or
    // already gone is not.
    if (opened.error != EACCES && opened.error != EPERM) {
      return nullptr;
    }
    hidLog(LOG_WARNING, "HIDDevice, no access to %s; listed as not open", record.key.c_str());
    return std::make_shared<USBDevice>(record, UniqueFd(), opened.error);
  }
  auto device = std::make_shared<USBDevice>(record, std::move(opened.fd));
  // Deferred: the channel reports its end from inside its own read handler.
  device->setGoneHandler([this, weak = std::weak_ptr<USBDevice>(device)] {
    QMetaObject::invokeMethod(
        &context_, [this, weak] { deviceGone(weak.lock()); }, Qt::QueuedConnection);
  });
  return device;
}

void USBHidManager::changeUSBDevice(const HidDeviceRecord& record) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const auto& device) { return device->key() == record.key; });
  if (it == devices_.end()) {
    addUSBDevice(record);  // e.g. held by another program when it arrived
    return;
  }
  if ((*it)->openError() == 0) {
    return;
  }
  auto device = makeDevice(record);
  if (!device || device->openError() != 0) {
    return;  // still refused, or now held by another program: the listed device stays
  }
  hidLog(LOG_INFO, "HIDDevice, %s can be opened now", record.key.c_str());
  removeAt(static_cast<std::size_t>(it - devices_.begin()));
  append(device);
}

void USBHidManager::removeUSBDevice(const std::string& key) {
  hidLog(LOG_INFO, "设备拔出: %s", key.c_str());
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const auto& device) { return device->key() == key; });
  if (it != devices_.end()) {
    removeAt(static_cast<std::size_t>(it - devices_.begin()));
  }
}

void USBHidManager::deviceGone(const std::shared_ptr<USBDevice>& device) {
  // Matched by identity: udev may already have removed it, and a new camera may since have
  // arrived under the same node.
  const auto it = std::find(devices_.begin(), devices_.end(), device);
  if (device && it != devices_.end()) {
    hidLog(LOG_INFO, "设备拔出: %s", (*it)->key().c_str());
    removeAt(static_cast<std::size_t>(it - devices_.begin()));
  }
}

void USBHidManager::removeAt(std::size_t index) {
  const std::shared_ptr<USBDevice> device = devices_[index];
  devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
  device->setGoneHandler({});
  delegates_.forEach(
      [&](USBHidDelegate& delegate) { delegate.usbHidManagerDidRemoveDevice(*this, device); });
}

}  // namespace vexhal
