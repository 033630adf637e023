// Pairing a capture device with the camera at a USB location.
#include "device/hid/CaptureDevicePairing.h"

#include <gtest/gtest.h>

namespace vexhal {
namespace {

TEST(CaptureDevicePairing, IsMatchedComparesTheIdentifierWithTheLocationDigits) {
  struct Row {
    const char* uniqueId;
    std::int64_t locationId;
    bool matched;
  };
  for (const Row& row :
       {Row{"0x14100000b206b215", 0x14100000, true}, Row{"0X14100000B206B215", 0x14100000, true},
        Row{"14100000b206b215", 0x14100000, true}, Row{"0x14200000b206b215", 0x14100000, false},
        Row{"0x1410000", 0x14100000, false},
        Row{"0x14100000b206b215", 0x1410000, true},  // a shorter location is a prefix
        Row{"0x3142000b206b215", 0x03142000, true}, Row{"0x0b206", 0, true},
        Row{"0xb206", 0, false}, Row{"0", 0, true},
        // two occurrences of 0x: the whole identifier is compared
        Row{"0x141000000x1", 0x14100000, false}, Row{"0x141000000x1", 0, true},
        Row{"usb-0x14100000", 0x14100000, true}, Row{"", 0, false}, Row{"", 0x14100000, false}}) {
    EXPECT_EQ(isMatched(row.uniqueId, row.locationId), row.matched)
        << "'" << row.uniqueId << "' at " << std::hex << row.locationId;
  }
}

}  // namespace
}  // namespace vexhal
