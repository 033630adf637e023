// The USB location id made of a bus number and a port path, and the capture unique id.
#include "device/UsbLocation.h"

#include <gtest/gtest.h>

namespace vexhal {
namespace {

TEST(UsbLocation, ComposedFromBusAndPortDigits) {
  struct Row {
    int bus;
    const char* devpath;
    std::optional<std::int64_t> location;
  };
  for (const Row& row :
       {Row{3, "1.4.2", 0x03142000}, Row{1, "1", 0x01100000}, Row{20, "1.4.1", 0x14141000},
        Row{255, "15.15.15.15.15.15", 0xFFFFFFFF},
        Row{1, "1.2.3.4.5.6.7", std::nullopt},  // seven levels
        Row{1, "16", 0x01010000},               // a root port above 15: two digits
        Row{3, "17.2", 0x03011200}, Row{3, "255.15.15.15", 0x030FFFFF},
        Row{3, "17.1.1.1.1", std::nullopt},                      // five levels after a wide port
        Row{3, "1.16", std::nullopt},                            // only the first may be wide
        Row{3, "256", std::nullopt}, Row{1, "0", std::nullopt},  // ports count from 1
        Row{1, "", std::nullopt}, Row{1, "1..2", std::nullopt}, Row{1, "1.2.", std::nullopt},
        Row{1, "a", std::nullopt}, Row{1, "-1", std::nullopt}, Row{256, "1", std::nullopt},
        Row{-1, "1", std::nullopt}}) {
    EXPECT_EQ(composeLocationId(row.bus, row.devpath), row.location)
        << row.bus << " " << row.devpath;
  }
  EXPECT_EQ(captureUniqueId(0x14100000, 0x46d, 0x85b), "0x14100000046d085b");
  EXPECT_EQ(captureUniqueId(0, 1, 2), "0x000010002");
}

}  // namespace
}  // namespace vexhal
