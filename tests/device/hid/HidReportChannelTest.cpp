// The report channel over a socket pair: reports in order and whole, hang-ups reported once.
#include "device/hid/HidReportChannel.h"

#include <gtest/gtest.h>

#include <vector>

#include "HidTestSupport.h"

namespace vexhal {
namespace {

using test::CameraEnd;
using test::pumpEvents;

struct Received {
  std::uint8_t firstDataByte;
  std::size_t length;
};

struct ChannelOverSocket : ::testing::Test {
  ChannelOverSocket() {
    test::ensureCoreApplication();
    channel = std::make_unique<HidReportChannel>(
        camera.takeHostFd(),
        [this](std::span<const std::uint8_t, kHidPacketSize> buffer, std::size_t length) {
          received.push_back({buffer[kHidHeaderSize], length});
        },
        [this] { ++goneCount; });
  }

  CameraEnd camera;
  std::vector<Received> received;
  int goneCount = 0;
  std::unique_ptr<HidReportChannel> channel;
};

TEST_F(ChannelOverSocket, DeliversEachReportInOrderWithItsLength) {
  std::vector<std::uint8_t> oversized(1500, 0x33);
  for (std::uint8_t i = 1; i <= 3; ++i) {
    camera.reply(0x5000, 0, {i});
  }
  camera.sendRaw(oversized.data(), oversized.size());
  camera.sendRaw(oversized.data(), 20);
  pumpEvents();
  ASSERT_EQ(received.size(), 5U);
  for (std::uint8_t i = 0; i < 3; ++i) {
    EXPECT_EQ(received[i].firstDataByte, i + 1);
    EXPECT_EQ(received[i].length, kHidPacketSize);
  }
  EXPECT_EQ(received[3].length, kHidPacketSize) << "a longer message is cut to one report";
  EXPECT_EQ(received[4].length, 20U) << "a short report keeps its length";
  EXPECT_EQ(goneCount, 0);
  EXPECT_TRUE(channel->isOpen());
}

TEST_F(ChannelOverSocket, WritesWholeReports) {
  hid_cmd_pack_t pack = getPackage(0x5090);
  pack.data[1009] = 0xEE;
  ASSERT_TRUE(channel->write(pack.bytes()));
  const auto sent = camera.requests();
  ASSERT_EQ(sent.size(), 1U);
  EXPECT_EQ(std::vector<std::uint8_t>(sent[0].bytes().begin(), sent[0].bytes().end()),
            std::vector<std::uint8_t>(pack.bytes().begin(), pack.bytes().end()));
}

TEST_F(ChannelOverSocket, AHangUpIsReportedOnceAndEndsReadingAndWriting) {
  camera.reply(0x5000, 0, {1});
  camera.unplug();
  pumpEvents();
  pumpEvents();
  EXPECT_EQ(received.size(), 1U) << "reports queued before the hang-up still arrive";
  EXPECT_EQ(goneCount, 1);
  EXPECT_FALSE(channel->isOpen());
  // Writing to a peer that has gone must neither raise SIGPIPE nor succeed.
  EXPECT_FALSE(channel->write(getPackage(0x5000).bytes()));
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
