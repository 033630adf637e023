#include "device/hid/HidPacket.h"

#include <algorithm>

namespace vexhal {

namespace {

using ChecksumTables = std::array<std::array<std::uint16_t, 256>, 8>;

// tables[0][n]: the eight right shifts (0x1021 folded in on each set low bit) that one byte goes
// through, for every value n of the low byte. tables[k][n]: the same byte followed by k zero
// bytes. Eight bytes then cost eight independent lookups instead of 64 dependent shifts.
constexpr ChecksumTables kChecksumTables = [] {
  ChecksumTables tables{};
  for (unsigned n = 0; n < 256; ++n) {
    auto value = static_cast<std::uint16_t>(n);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1U) ? static_cast<std::uint16_t>((value >> 1) ^ 0x1021U)
                           : static_cast<std::uint16_t>(value >> 1);
    }
    tables[0][n] = value;
  }
  for (std::size_t k = 1; k < tables.size(); ++k) {
    for (unsigned n = 0; n < 256; ++n) {
      const std::uint16_t previous = tables[k - 1][n];
      tables[k][n] = static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFU]);
    }
  }
  return tables;
}();

}  // namespace

std::uint16_t hidChecksum(std::span<const std::uint8_t> bytes, std::uint16_t initial) {
  const auto& t = kChecksumTables;
  std::uint16_t crc = initial;
  const std::uint8_t* p = bytes.data();
  std::size_t left = bytes.size();
  for (; left >= 8; left -= 8, p += 8) {
    const auto low = static_cast<std::uint16_t>(crc ^ (p[0] | p[1] << 8));
    crc = static_cast<std::uint16_t>(t[7][low & 0xFFU] ^ t[6][low >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^
                                     t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  }
  for (; left > 0; --left, ++p) {
    crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *p) & 0xFFU]);
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
