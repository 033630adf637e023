#include "device/hid/HidPacket.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace vexhal {
namespace {

std::span<const std::uint8_t> ascii(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct ChecksumCase {
  const char* text;
  std::uint16_t initial;
  std::uint16_t expected;
};

class HidChecksum : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(HidChecksum, MatchesKnownVectors) {
  const ChecksumCase& c = GetParam();
  EXPECT_EQ(hidChecksum(ascii(c.text), c.initial), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Vectors, HidChecksum,
                         ::testing::Values(ChecksumCase{"abc", 0xFFFF, 0x0EB3},
                                           ChecksumCase{"123456789", 0xFFFF, 0x1DBA},
                                           ChecksumCase{"", 0xFFFF, 0xFFFF},
                                           ChecksumCase{"", 0x1234, 0x1234}));

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
  std::vector<std::uint8_t> bytes(1100);
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

std::vector<std::uint8_t> header(std::initializer_list<std::uint8_t> bytes) { return bytes; }

TEST(HidPacket, StateRequestIsByteExact) {
  const hid_cmd_pack_t pack = getPackage(0x5000);
  const auto bytes = pack.bytes();
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 14),
            header({0x01, 0x5A, 0x5A, 0x00, 0x50, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1C,
                    0x03}));
  for (std::size_t i = 14; i < bytes.size(); ++i) {
    ASSERT_EQ(bytes[i], 0) << "byte " << i;
  }
}

TEST(HidPacket, HeaderFieldsAreLittleEndianAtTheirOffsets) {
  const hid_cmd_head_t head = newHeader(0xA1B2, 2, 0x03F2, 0x11223344);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(&head);
  EXPECT_EQ(std::vector<std::uint8_t>(raw, raw + 12),
            header({0x01, 0x5A, 0x5A, 0xB2, 0xA1, 0x02, 0xF2, 0x03, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(head.crc.get(), hidChecksum({raw, 12}, 0xFFFF));
  EXPECT_EQ(raw[12], head.crc.get() & 0xFF);
  EXPECT_EQ(raw[13], head.crc.get() >> 8);
}

TEST(HidPacket, SealCoversHeaderAndOnlyTheMeaningfulData) {
  hid_cmd_pack_t pack = getPackage(0x5081);
  pack.head.dataStatus = 1;
  pack.head.dataLength.set(1);
  pack.data[0] = 0x01;
  pack.data[1] = 0x77;  // beyond dataLength: not covered
  sealPacket(pack);
  EXPECT_EQ(pack.head.crc.get(), 0x1B9F);

  pack.data[1] = 0x00;
  sealPacket(pack);
  EXPECT_EQ(pack.head.crc.get(), 0x1B9F);
}

TEST(HidPacket, SealClampsAnOversizedLengthToTheDataArea) {
  hid_cmd_pack_t pack = getPackage(0x4200);
  pack.head.dataLength.set(0xFFFF);
  pack.data.fill(0xAB);
  sealPacket(pack);
  const auto bytes = pack.bytes();
  const std::uint16_t expected =
      hidChecksum(bytes.subspan(14), hidChecksum(bytes.first(12), 0xFFFF));
  EXPECT_EQ(pack.head.crc.get(), expected);
}

}  // namespace
}  // namespace vexhal
