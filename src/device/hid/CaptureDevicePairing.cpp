#include "device/hid/CaptureDevicePairing.h"

#include <algorithm>
#include <cctype>

namespace vexhal {

namespace {

constexpr int kMaxHexDigits = 9;

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

std::string toHex(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto rest = static_cast<std::uint64_t>(value);
  if (rest == 0) {
    return "0";
  }
  std::string text;
  for (int i = 0; i < kMaxHexDigits && rest != 0; ++i, rest >>= 4) {
    text.insert(text.begin(), kDigits[rest & 0xF]);
  }
  return text;
}

bool isMatched(std::string_view captureUniqueId, std::int64_t locationId) {
  const std::string hex = lowerCase(toHex(locationId));
  std::string id = lowerCase(captureUniqueId);
  const std::size_t first = id.find("0x");
  if (first != std::string::npos && id.find("0x", first + 2) == std::string::npos) {
    id.erase(0, first + 2);
  }
  return id.starts_with(hex);
}

}  // namespace vexhal
