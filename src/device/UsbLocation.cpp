#include "UsbLocation.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace vexhal {

std::optional<std::int64_t> composeLocationId(int busNumber, std::string_view devpath) {
  if (busNumber < 0 || busNumber > 0xFF || devpath.empty()) {
    return std::nullopt;
  }
  std::vector<int> ports;
  std::size_t pos = 0;
  while (pos <= devpath.size()) {
    const std::size_t dot = devpath.find('.', pos);
    const std::string_view piece =
        devpath.substr(pos, dot == std::string_view::npos ? std::string_view::npos : dot - pos);
    int port = 0;
    const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), port);
    if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() || port < 1 ||
        port > 0xFF) {
      return std::nullopt;
    }
    ports.push_back(port);
    if (dot == std::string_view::npos) {
      break;
    }
    pos = dot + 1;
  }
  const bool wide = ports.front() > 0xF;
  const std::size_t maxLevels = wide ? 4 : 6;
  if (ports.size() > maxLevels ||
      std::any_of(ports.begin() + 1, ports.end(), [](int port) { return port > 0xF; })) {
    return std::nullopt;
  }
  std::int64_t location = static_cast<std::int64_t>(busNumber) << 24;
  int shift = 20;
  if (wide) {
    location |= static_cast<std::int64_t>(ports.front()) << 12;
    shift = 8;
  } else {
    location |= static_cast<std::int64_t>(ports.front()) << shift;
    shift -= 4;
  }
  for (std::size_t i = 1; i < ports.size(); ++i, shift -= 4) {
    location |= static_cast<std::int64_t>(ports[i]) << shift;
  }
  return location;
}

std::string captureUniqueId(std::int64_t locationId, std::uint16_t vendorId,
                            std::uint16_t productId) {
  char text[48];
  std::snprintf(text, sizeof text, "0x%llx%04x%04x", static_cast<unsigned long long>(locationId),
                static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
  return text;
}

}  // namespace vexhal
