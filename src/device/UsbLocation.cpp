#include "UsbLocation.h"

#include <charconv>
#include <cstdio>

namespace vexhal {

std::optional<std::int64_t> composeLocationId(int busNumber, std::string_view devpath) {
  if (busNumber < 0 || busNumber > 0xFF || devpath.empty()) {
    return std::nullopt;
  }
  std::int64_t location = static_cast<std::int64_t>(busNumber) << 24;
  int shift = 20;
  std::size_t pos = 0;
  while (pos <= devpath.size()) {
    const std::size_t dot = devpath.find('.', pos);
    const std::string_view piece =
        devpath.substr(pos, dot == std::string_view::npos ? std::string_view::npos : dot - pos);
    int port = 0;
    const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), port);
    if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() || port < 1 ||
        port > 0xF || shift < 0) {
      return std::nullopt;
    }
    location |= static_cast<std::int64_t>(port) << shift;
    shift -= 4;
    if (dot == std::string_view::npos) {
      break;
    }
    pos = dot + 1;
  }
  return location;
}

std::string captureUniqueId(std::int64_t locationId, std::uint16_t vendorId,
                            std::uint16_t productId) {
  char text[48];
  std::snprintf(text, sizeof text, "0x%llx%04x%04x",
                static_cast<unsigned long long>(locationId), static_cast<unsigned>(vendorId),
                static_cast<unsigned>(productId));
  return text;
}

}  // namespace vexhal
