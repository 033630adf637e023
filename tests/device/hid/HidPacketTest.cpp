// The HID report layout and its checksum.
#include "device/hid/HidPacket.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexhal {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The checksum as plainly described: bit by bit, right-shifting, 0x1021 on each set low bit.
std::uint16_t bitwiseChecksum(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x1021U)
                       : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

TEST(HidChecksum, AgreesWithTheBitwiseFormOnEveryLengthAndAlignment) {
  Bytes bytes(1100);
  std::uint32_t seed = 12345;
  for (auto& byte : bytes) {
    seed = seed * 1103515245U + 12345U;
    byte = static_cast<std::uint8_t>(seed >> 16);
  }
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t length = 0; length + offset <= bytes.size(); length += 1 + length / 16) {
      const std::span<const std::uint8_t> piece(bytes.data() + offset, length);
      ASSERT_EQ(hidChecksum(piece, 0xFFFF), bitwiseChecksum(piece, 0xFFFF))
          << "offset " << offset << " length " << length;
      ASSERT_EQ(hidChecksum(piece, 0x0042), bitwiseChecksum(piece, 0x0042));
    }
  }
}

TEST(HidPacket, HeadersAreLittleEndianAtTheirOffsetsAndTheRestIsZero) {
  const hid_cmd_pack_t pack = getPackage(0x5000);
  const auto state = pack.bytes();
  EXPECT_EQ(Bytes(state.begin(), state.begin() + 14),
            (Bytes{0x01, 0x5A, 0x5A, 0x00, 0x50, 0, 0, 0, 0, 0, 0, 0, 0x1C, 0x03}));
  for (std::size_t i = 14; i < state.size(); ++i) ASSERT_EQ(state[i], 0) << "byte " << i;
  const hid_cmd_head_t head = newHeader(0xA1B2, 2, 0x03F2, 0x11223344);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&head);
  EXPECT_EQ(Bytes(raw, raw + 12),
            (Bytes{0x01, 0x5A, 0x5A, 0xB2, 0xA1, 0x02, 0xF2, 0x03, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(head.crc.get(), hidChecksum({raw, 12}, 0xFFFF));
  EXPECT_EQ(raw[12], head.crc.get() & 0xFF);
  EXPECT_EQ(raw[13], head.crc.get() >> 8);
}

TEST(HidPacket, SealCoversTheHeaderAndOnlyTheDataWithinTheReport) {
  hid_cmd_pack_t pack = getPackage(0x5081);
  pack.head.dataStatus = 1;
  pack.head.dataLength.set(1);
  pack.data[0] = 0x01;
  pack.data[1] = 0x77;  // beyond dataLength: not covered
  sealPacket(pack);
  EXPECT_EQ(pack.head.crc.get(), 0x1B9F);

  pack = getPackage(0x4200);
  pack.head.dataLength.set(0xFFFF);  // clamped to the data area
  pack.data.fill(0xAB);
  sealPacket(pack);
  const auto bytes = pack.bytes();
  EXPECT_EQ(pack.head.crc.get(),
            hidChecksum(bytes.subspan(14), hidChecksum(bytes.first(12), 0xFFFF)));
}

}  // namespace
}  // namespace vexhal
