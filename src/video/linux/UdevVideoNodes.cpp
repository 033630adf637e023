#include "video/linux/UdevVideoNodes.h"

#include <libudev.h>

#include <charconv>
#include <memory>
#include <string_view>

namespace vexhal::video {
namespace {

struct UdevDeleter {
  void operator()(udev* handle) const { udev_unref(handle); }
  void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
  void operator()(udev_device* handle) const { udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string_view attribute(udev_device* device, const char* name) {
  const char* value = udev_device_get_sysattr_value(device, name);
  return value != nullptr ? std::string_view(value) : std::string_view();
}

template <typename T>
bool parseNumber(std::string_view text, int base, T& out) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::optional<VideoNode::UsbParent> usbParent(udev_device* node) {
  // The parent belongs to the node; it is not unreferenced separately.
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device");
  if (usb == nullptr) return std::nullopt;
  VideoNode::UsbParent parent;
  const std::string_view devpath = attribute(usb, "devpath");
  if (!parseNumber(attribute(usb, "busnum"), 10, parent.busNumber) ||
      !parseNumber(attribute(usb, "idVendor"), 16, parent.vendorId) ||
      !parseNumber(attribute(usb, "idProduct"), 16, parent.productId) || devpath.empty()) {
    return std::nullopt;
  }
  parent.devpath = std::string(devpath.substr(0, devpath.find('\n')));
  return parent;
}

}  // namespace

std::vector<VideoNode> listUdevVideoNodes() {
  std::vector<VideoNode> nodes;
  const UdevPtr<udev> context(udev_new());
  if (!context) return nodes;
  const UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
  if (!enumeration) return nodes;
  udev_enumerate_add_match_subsystem(enumeration.get(), "video4linux");
  if (udev_enumerate_scan_devices(enumeration.get()) < 0) return nodes;

  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
    const UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!device) continue;
    const char* devnode = udev_device_get_devnode(device.get());
    if (devnode == nullptr) continue;
    // udev's own probe says ":capture:" for capture nodes; metadata nodes lack it.
    const char* capabilities = udev_device_get_property_value(device.get(), "ID_V4L_CAPABILITIES");
    if (capabilities != nullptr &&
        std::string_view(capabilities).find(":capture:") == std::string_view::npos) {
      continue;
    }
    VideoNode node;
    node.devnode = devnode;
    const std::string_view name = attribute(device.get(), "name");
    node.name = std::string(name.substr(0, name.find('\n')));
    node.usb = usbParent(device.get());
    nodes.push_back(std::move(node));
  }
  return nodes;
}

}  // namespace vexhal::video
