#include "device/uvc/linux/V4l2VideoNodeEnumerator.h"

#include <libudev.h>

#include <charconv>
#include <memory>
#include <string_view>

#include "device/UsbLocation.h"
#include "device/uvc/UVCLog.h"

namespace vexhal {
namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::optional<unsigned> parseNumber(const char* text, int base) {
  if (text == nullptr) {
    return std::nullopt;
  }
  const std::string_view view(text);
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value, base);
  if (view.empty() || ec != std::errc() || end != view.data() + view.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::vector<V4l2VideoNode> V4l2VideoNodeEnumerator::list() {
  std::vector<V4l2VideoNode> nodes;
  UdevPtr<udev> context(udev_new());
  if (!context) {
    UVCLog::error("CameraControl Error: udev is unavailable");
    return nodes;
  }
  UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "video4linux") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    UVCLog::error("CameraControl Error: udev is unavailable");
    return nodes;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    const char* devnode = device ? udev_device_get_devnode(device.get()) : nullptr;
    if (devnode == nullptr) {
      continue;
    }
    // Borrowed from the video device, which keeps it alive.
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
    if (usb == nullptr) {
      continue;
    }
    V4l2VideoNode node;
    node.devnode = devnode;
    const std::optional<unsigned> bus =
        parseNumber(udev_device_get_sysattr_value(usb, "busnum"), 10);
    const char* devpath = udev_device_get_sysattr_value(usb, "devpath");
    if (bus && devpath != nullptr) {
      node.locationId = composeLocationId(static_cast<int>(*bus), devpath);
    }
    const std::optional<unsigned> vendor =
        parseNumber(udev_device_get_sysattr_value(usb, "idVendor"), 16);
    const std::optional<unsigned> product =
        parseNumber(udev_device_get_sysattr_value(usb, "idProduct"), 16);
    node.vendorId = static_cast<std::uint16_t>(vendor.value_or(0));
    node.productId = static_cast<std::uint16_t>(product.value_or(0));
    nodes.push_back(std::move(node));
  }
  return nodes;
}

}  // namespace vexhal
