#include "device/linux/UdevCameraEnumerator.h"

#include <libudev.h>

#include <memory>
#include <string_view>

namespace vexhal {
namespace {

struct UdevDeleter {
  void operator()(udev* handle) const { udev_unref(handle); }
  void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
  void operator()(udev_device* handle) const { udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string syspathOf(udev_device* device) {
  const char* path = device != nullptr ? udev_device_get_syspath(device) : nullptr;
  return path != nullptr ? path : "";
}

// Adds the node to the camera it belongs to, which is appended when not listed yet.
void addNode(std::vector<UdevCamera>& cameras, udev_device* node) {
  const char* devnode = udev_device_get_devnode(node);
  if (devnode == nullptr) return;
  // Parents belong to the node; they are not unreferenced separately.
  const std::string usbPath =
      syspathOf(udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device"));
  UdevCamera* camera = nullptr;
  for (UdevCamera& listed : cameras) {
    if (!usbPath.empty() && listed.usbSyspath == usbPath) camera = &listed;
  }
  if (camera == nullptr) {
    camera = &cameras.emplace_back();
    camera->usbSyspath = usbPath;
    if (!usbPath.empty()) camera->usb = UsbSysfsIdentity::read(usbPath);
  }
  const char* subsystem = udev_device_get_subsystem(node);
  if (subsystem != nullptr && std::string_view(subsystem) == "hidraw") {
    camera->hidrawNodes.push_back(
        {devnode, syspathOf(udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr))});
    return;
  }
  const char* name = udev_device_get_sysattr_value(node, "name");
  const std::string_view nameText = name != nullptr ? name : "";
  // udev's own probe says ":capture:" for capture nodes; metadata nodes lack it.
  const char* capabilities = udev_device_get_property_value(node, "ID_V4L_CAPABILITIES");
  camera->videoNodes.push_back(
      {devnode, std::string(nameText.substr(0, nameText.find('\n'))),
       capabilities == nullptr ||
           std::string_view(capabilities).find(":capture:") != std::string_view::npos});
}

}  // namespace

std::optional<std::vector<UdevCamera>> UdevCameraEnumerator::list() {
  const UdevPtr<udev> context(udev_new());
  if (!context) return std::nullopt;
  const UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
  if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "video4linux") < 0 ||
      udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(enumeration.get()) < 0) {
    return std::nullopt;
  }
  std::vector<UdevCamera> cameras;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
    const UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (device) addNode(cameras, device.get());
  }
  return cameras;
}

UdevCamera UdevCameraEnumerator::cameraOf(udev_device* node) {
  std::vector<UdevCamera> cameras;
  addNode(cameras, node);
  return cameras.empty() ? UdevCamera{} : std::move(cameras.front());
}

}  // namespace vexhal
