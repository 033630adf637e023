#include "device/linux/UsbSysfsIdentity.h"

#include <charconv>
#include <fstream>
#include <string_view>

#include "device/UsbLocation.h"

namespace vexhal {

namespace {

// One sysfs attribute's text, without the trailing newline.
std::optional<std::string> readAttribute(const std::string& dir, const char* name) {
  std::ifstream file(dir + "/" + name);
  std::string line;
  if (!file || !std::getline(file, line)) {
    return std::nullopt;
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  return line;
}

template <typename T>
std::optional<T> parseNumber(const std::optional<std::string>& text, int base) {
  if (!text || text->empty()) {
    return std::nullopt;
  }
  T value{};
  const char* end = text->data() + text->size();
  const auto [stop, ec] = std::from_chars(text->data(), end, value, base);
  if (ec != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<UsbSysfsIdentity> UsbSysfsIdentity::read(const std::string& usbDeviceDir) {
  const auto vendor = parseNumber<std::uint16_t>(readAttribute(usbDeviceDir, "idVendor"), 16);
  const auto product = parseNumber<std::uint16_t>(readAttribute(usbDeviceDir, "idProduct"), 16);
  const auto bus = parseNumber<int>(readAttribute(usbDeviceDir, "busnum"), 10);
  const auto devpath = readAttribute(usbDeviceDir, "devpath");
  // from_chars takes a sign: a negative bus number is as malformed as a word.
  if (!vendor || !product || !bus || *bus < 0 || !devpath) {
    return std::nullopt;
  }
  // A path without a location id still names a device: it is listed, unpaired (0).
  return UsbSysfsIdentity{*vendor, *product, composeLocationId(*bus, *devpath).value_or(0),
                          *bus,    *devpath, readAttribute(usbDeviceDir, "serial").value_or("")};
}

}  // namespace vexhal
