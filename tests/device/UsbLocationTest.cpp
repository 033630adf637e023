#include "device/UsbLocation.h"

#include <gtest/gtest.h>

namespace vexhal {
namespace {

struct LocationCase {
  int bus;
  const char* devpath;
  std::optional<std::int64_t> expected;
};

void PrintTo(const LocationCase& c, std::ostream* os) {
  *os << "bus " << c.bus << " path '" << c.devpath << "'";
}

class ComposeLocationId : public ::testing::TestWithParam<LocationCase> {};

TEST_P(ComposeLocationId, FollowsBusAndPortDigits) {
  const LocationCase& c = GetParam();
  EXPECT_EQ(composeLocationId(c.bus, c.devpath), c.expected) << c.bus << " " << c.devpath;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ComposeLocationId,
    ::testing::Values(LocationCase{3, "1.4.2", 0x03142000}, LocationCase{1, "1", 0x01100000},
                      LocationCase{20, "1.4.1", 0x14141000},
                      LocationCase{255, "15.15.15.15.15.15", 0xFFFFFFFF},
                      LocationCase{1, "1.2.3.4.5.6.7", std::nullopt},  // seven levels
                      LocationCase{1, "16", 0x01010000},  // a root port above 15: two digits
                      LocationCase{3, "17.2", 0x03011200},
                      LocationCase{3, "255.15.15.15", 0x030FFFFF},
                      LocationCase{3, "17.1.1.1.1", std::nullopt},  // five levels after a wide port
                      LocationCase{3, "1.16", std::nullopt},        // only the first may be wide
                      LocationCase{3, "256", std::nullopt},
                      LocationCase{1, "0", std::nullopt},              // ports count from 1
                      LocationCase{1, "", std::nullopt}, LocationCase{1, "1..2", std::nullopt},
                      LocationCase{1, "1.2.", std::nullopt}, LocationCase{1, "a", std::nullopt},
                      LocationCase{1, "-1", std::nullopt}, LocationCase{256, "1", std::nullopt},
                      LocationCase{-1, "1", std::nullopt}));

TEST(CaptureUniqueId, IsLowerCaseHexWithoutLeadingZerosThenIds) {
  EXPECT_EQ(captureUniqueId(0x03142000, 0xB206, 0xB215), "0x3142000b206b215");
  EXPECT_EQ(captureUniqueId(0x14100000, 0x46d, 0x85b), "0x14100000046d085b");
  EXPECT_EQ(captureUniqueId(0, 1, 2), "0x000010002");
}

}  // namespace
}  // namespace vexhal
