#include "device/hid/linux/HidReportDescriptor.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace vexhal {

namespace {

constexpr std::uint8_t kLongItem = 0xFE;
constexpr std::uint8_t kUsagePagePrefix = 0x04;  // global item, tag 0, before its size bits

}  // namespace

std::optional<std::uint32_t> firstUsagePage(std::span<const std::uint8_t> descriptor) {
  std::size_t i = 0;
  while (i < descriptor.size()) {
    const std::uint8_t prefix = descriptor[i];
    if (prefix == kLongItem) {
      if (i + 1 >= descriptor.size()) {
        return std::nullopt;
      }
      i += 3 + std::size_t{descriptor[i + 1]};
      continue;
    }
    const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
    if (i + 1 + size > descriptor.size()) {
      return std::nullopt;
    }
    if ((prefix & 0xFC) == kUsagePagePrefix) {
      std::uint32_t value = 0;
      for (std::size_t b = 0; b < size; ++b) {
        value |= std::uint32_t{descriptor[i + 1 + b]} << (8 * b);
      }
      return value;
    }
    i += 1 + size;
  }
  return std::nullopt;
}

bool isVendorHidInterface(const std::string& hidDeviceDir) {
  std::ifstream file(hidDeviceDir + "/report_descriptor", std::ios::binary);
  if (!file) {
    return true;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
  const auto page = firstUsagePage(bytes);
  return page && *page >= 0xFF00 && *page <= 0xFFFF;
}

}  // namespace vexhal
