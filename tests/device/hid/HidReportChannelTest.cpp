// The report channel over a socket pair: whole reports, hang-ups reported once. The order of
// reports and short ones are USBDeviceCommandTest's.
#include "device/hid/HidReportChannel.h"

#include <gtest/gtest.h>

#include <vector>

#include "HidTestSupport.h"

namespace vexhal {
namespace {

using test::CameraEnd;
using test::pumpEvents;

// A longer message is cut to one report, a short one keeps its length, and reports queued before
// the hang-up still arrive.
TEST(HidReportChannel, DeliversEachReportUntilAHangUpReportedOnce) {
  test::ensureCoreApplication();
  CameraEnd camera;
  std::vector<std::size_t> lengths;
  int gone = 0;
  HidReportChannel channel(
      camera.takeHostFd(), [&](auto, std::size_t length) { lengths.push_back(length); },
      [&] { ++gone; });
  const std::vector<std::uint8_t> oversized(1500, 0x33);
  camera.sendRaw(oversized.data(), oversized.size());
  camera.sendRaw(oversized.data(), 20);
  camera.unplug();
  pumpEvents();
  pumpEvents();
  EXPECT_EQ(lengths, (std::vector<std::size_t>{kHidPacketSize, 20}));
  EXPECT_EQ(gone, 1);
  EXPECT_FALSE(channel.isOpen());
  // Writing to a peer that has gone must neither raise SIGPIPE nor succeed.
  EXPECT_FALSE(channel.write(getPackage(0x5000).bytes()));
}

TEST(HidReportChannel, CannotWriteToAPeerGoneUnreadOrWithoutADescriptor) {
  test::ensureCoreApplication();
  CameraEnd camera;
  HidReportChannel unread(
      camera.takeHostFd(), [](auto, std::size_t) {}, [] {});
  camera.unplug();
  EXPECT_FALSE(unread.write(getPackage(0x5000).bytes()));

  int gone = 0;
  HidReportChannel none(
      UniqueFd(), [](auto, std::size_t) {}, [&] { ++gone; });
  EXPECT_FALSE(none.isOpen());
  EXPECT_FALSE(none.write(getPackage(0x5000).bytes()));
  pumpEvents();
  EXPECT_EQ(gone, 0) << "a channel that never opened does not hang up";
}

}  // namespace
}  // namespace vexhal
