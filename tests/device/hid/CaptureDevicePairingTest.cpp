#include "device/hid/CaptureDevicePairing.h"

#include <gtest/gtest.h>

namespace vexhal {
namespace {

struct HexCase {
  std::int64_t value;
  const char* expected;
};

class ToHex : public ::testing::TestWithParam<HexCase> {};

TEST_P(ToHex, GivesAtMostNineDigitsWithoutLeadingZeros) {
  EXPECT_EQ(toHex(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ToHex,
                         ::testing::Values(HexCase{0, "0"}, HexCase{0xF, "F"},
                                           HexCase{0x14100000, "14100000"},
                                           HexCase{0x03142000, "3142000"},
                                           HexCase{0xABCDEF012, "ABCDEF012"},
                                           HexCase{0x123456789A, "23456789A"},
                                           HexCase{-1, "FFFFFFFFF"}));

struct MatchCase {
  const char* uniqueId;
  std::int64_t locationId;
  bool expected;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
  *os << "'" << c.uniqueId << "' vs 0x" << std::hex << c.locationId;
}

class IsMatched : public ::testing::TestWithParam<MatchCase> {};

TEST_P(IsMatched, ComparesTheIdentifierWithTheLocationDigits) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(isMatched(c.uniqueId, c.locationId), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, IsMatched,
    ::testing::Values(MatchCase{"0x14100000b206b215", 0x14100000, true},
                      MatchCase{"0X14100000B206B215", 0x14100000, true},
                      MatchCase{"14100000b206b215", 0x14100000, true},
                      MatchCase{"0x14200000b206b215", 0x14100000, false},
                      MatchCase{"0x1410000", 0x14100000, false},
                      // a shorter location text is a prefix of a longer one
                      MatchCase{"0x14100000b206b215", 0x1410000, true},
                      MatchCase{"0x3142000b206b215", 0x03142000, true},
                      MatchCase{"0x0b206", 0, true}, MatchCase{"0xb206", 0, false},
                      MatchCase{"0", 0, true},
                      // two occurrences of 0x: the whole identifier is compared
                      MatchCase{"0x141000000x1", 0x14100000, false},
                      MatchCase{"0x141000000x1", 0, true},
                      MatchCase{"usb-0x14100000", 0x14100000, true},
                      MatchCase{"", 0, false}, MatchCase{"", 0x14100000, false}));

}  // namespace
}  // namespace vexhal
