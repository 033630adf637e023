#include "device/hid/linux/UdevHidDiscovery.h"

#include <fcntl.h>
#include <libudev.h>
#include <sys/file.h>

#include <QTimer>

#include <cerrno>
#include <cstring>

#include "device/hid/HidLog.h"
#include "device/hid/linux/HidReportDescriptor.h"
#include "device/hid/linux/UdevHidEventRoute.h"
#include "device/linux/UdevCameraEnumerator.h"

namespace vexhal {

std::unique_ptr<UdevHidDiscovery> UdevHidDiscovery::create() {
  struct udev* context = udev_new();
  if (context == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<UdevHidDiscovery>(new UdevHidDiscovery(context));
}

UdevHidDiscovery::UdevHidDiscovery(struct udev* context) : udev_(context) {}

UdevHidDiscovery::~UdevHidDiscovery() {
  notifier_.reset();
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
  }
  udev_unref(udev_);
}

int UdevHidDiscovery::start(std::uint16_t vendorId, std::uint16_t productId, Events events) {
  if (monitor_ != nullptr) {
    return EALREADY;
  }
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ == nullptr) {
    return errno != 0 ? errno : ENODEV;
  }
  int status = udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
  if (status >= 0) {
    status = udev_monitor_enable_receiving(monitor_);
  }
  if (status < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    return -status;
  }
  vendorId_ = vendorId;
  productId_ = productId;
  events_ = std::move(events);
  notifier_ =
      std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_,
                   [this] { monitorReady(); });
  // The monitor listens already, so a camera that arrives meanwhile is not missed; one reported
  // twice is recognised by its key.
  QTimer::singleShot(0, &context_, [this] { enumerate(); });
  return 0;
}

void UdevHidDiscovery::enumerate() {
  for (const UdevCamera& camera :
       UdevCameraEnumerator::list().value_or(std::vector<UdevCamera>{})) {
    for (const UdevCamera::HidrawNode& node : camera.hidrawNodes) {
      const auto record = recordFor(camera, node);
      if (record && events_.arrived) {
        events_.arrived(*record);
      }
    }
  }
}

void UdevHidDiscovery::monitorReady() {
  struct udev_device* device = udev_monitor_receive_device(monitor_);
  if (device == nullptr) {
    return;
  }
  const char* action = udev_device_get_action(device);
  const std::string_view verb = action != nullptr ? action : "";
  const char* node = udev_device_get_devnode(device);
  // A removed device's parent is already gone from sysfs, so it has no record.
  std::optional<HidDeviceRecord> record;
  if (verb != "remove") {
    const UdevCamera camera = UdevCameraEnumerator::cameraOf(device);
    if (!camera.hidrawNodes.empty()) record = recordFor(camera, camera.hidrawNodes.front());
  }
  routeUdevHidEvent(verb, node != nullptr ? node : "", record, events_);
  udev_device_unref(device);
}

std::optional<HidDeviceRecord> UdevHidDiscovery::recordFor(
    const UdevCamera& camera, const UdevCamera::HidrawNode& hidraw) const {
  const std::optional<UsbSysfsIdentity>& identity = camera.usb;
  if (!identity || identity->vendorId != vendorId_ || identity->productId != productId_) {
    return std::nullopt;
  }
  const char* node = hidraw.devnode.c_str();
  const char* usbPath = camera.usbSyspath.c_str();
  // A camera may offer more HID interfaces than the one that speaks its protocol.
  if (!hidraw.hidSyspath.empty() && !isVendorHidInterface(hidraw.hidSyspath)) {
    hidLog(LOG_INFO, "HIDDevice, %s is not the camera's vendor interface; skipped", node);
    return std::nullopt;
  }
  if (identity->locationId == 0) {
    hidLog(LOG_WARNING, "HIDDevice, %s: USB port path of %s has no location id; listed unpaired",
           node, usbPath);
  } else if ((identity->locationId & 0x00F00000) == 0) {
    hidLog(LOG_INFO, "HIDDevice, %s: %s is on a port above 15; location id 0x%08llx", node, usbPath,
           static_cast<unsigned long long>(identity->locationId));
  }
  return HidDeviceRecord{hidraw.devnode, identity->vendorId, identity->productId,
                         identity->locationId};
}

UniqueFd UdevHidDiscovery::open(const HidDeviceRecord& device) { return tryOpen(device).fd; }

HidDiscovery::OpenResult UdevHidDiscovery::tryOpen(const HidDeviceRecord& device) {
  OpenResult result{UniqueFd(::open(device.key.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)), 0};
  if (!result.fd.isValid()) {
    result.error = errno;
    hidLog(LOG_WARNING, "HIDDevice, cannot open %s: %s", device.key.c_str(),
           std::strerror(result.error));
    return result;
  }
  if (::flock(result.fd.get(), LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    hidLog(LOG_WARNING, "HIDDevice, %s is in use by another program: %s", device.key.c_str(),
           std::strerror(error));
    result.fd.reset();
    result.error = error == EWOULDBLOCK ? EBUSY : error;
  }
  return result;
}

}  // namespace vexhal
