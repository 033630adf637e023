#include "device/hid/HidPacket.h"

#include <algorithm>

namespace vexhal {

std::uint16_t hidChecksum(std::span<const std::uint8_t> bytes, std::uint16_t initial) {
  std::uint16_t crc = initial;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x1021U)
                       : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

hid_cmd_head_t newHeader(std::uint16_t cmd, std::uint8_t dataStatus, std::uint16_t dataLength,
                         std::uint32_t packNum) {
  hid_cmd_head_t head{};
  head.reportId = kHidReportId;
  head.magic.set(kHidMagic);
  head.cmd.set(cmd);
  head.dataStatus = dataStatus;
  head.dataLength.set(dataLength);
  head.packNum.set(packNum);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&head);
  head.crc.set(hidChecksum({raw, kHidChecksummedHeaderBytes}, kHidChecksumSeed));
  return head;
}

hid_cmd_pack_t getPackage(std::uint16_t cmd) {
  hid_cmd_pack_t pack{};
  pack.head = newHeader(cmd);
  return pack;
}

void sealPacket(hid_cmd_pack_t& pack) {
  const auto bytes = pack.bytes();
  const std::size_t length = std::min<std::size_t>(pack.head.dataLength.get(), kHidDataCapacity);
  const std::uint16_t headerCrc =
      hidChecksum(bytes.first(kHidChecksummedHeaderBytes), kHidChecksumSeed);
  pack.head.crc.set(hidChecksum(bytes.subspan(kHidHeaderSize, length), headerCrc));
}

}  // namespace vexhal
