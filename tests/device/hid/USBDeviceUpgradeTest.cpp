// USBDevice's firmware transfer against a camera end that answers as each case asks.
#include <chrono>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "HidTestSupport.h"

namespace vexhal {
namespace {

using test::pumpEvents;
using test::WiredDevice;

QByteArray image(std::size_t size) {
  QByteArray bytes(static_cast<qsizetype>(size), '\0');
  for (std::size_t i = 0; i < size; ++i) {
    bytes[static_cast<qsizetype>(i)] = static_cast<char>((i * 7 + 3) & 0xFF);
  }
  return bytes;
}

// A transfer against a camera that answers each request with the code `answer` picks for it.
struct Transfer : WiredDevice {
  std::vector<hid_cmd_pack_t> sent;
  std::vector<std::int64_t> outcomes;

  Transfer() {
    device->setTransferReplyTimeout(std::chrono::hours(1));
    device->setTransferStepReplyTimeout(std::chrono::hours(1));
  }

  USBDevice::CodeCallback record() {
    return [this](std::int64_t code) { outcomes.push_back(code); };
  }

  // Answers requests until the device sends no more; `answer` returns the code for a request,
  // or nothing to leave it unanswered.
  void run(const std::function<std::optional<std::uint32_t>(const hid_cmd_pack_t&)>& answer) {
    for (int round = 0; round < 100; ++round) {
      const auto requests = camera.requests();
      if (requests.empty()) {
        break;
      }
      for (const hid_cmd_pack_t& request : requests) {
        sent.push_back(request);
        if (const auto code = answer(request)) {
          camera.reply(request.head.cmd.get(), *code);
        }
      }
      pumpEvents(2);
    }
    pumpEvents();
  }

  std::vector<std::uint16_t> commands() const {
    std::vector<std::uint16_t> cmds;
    for (const auto& pack : sent) {
      cmds.push_back(pack.head.cmd.get());
    }
    return cmds;
  }
};

const auto acceptAll = [](const hid_cmd_pack_t&) -> std::optional<std::uint32_t> { return 0; };

struct PacketShape {
  std::uint8_t dataStatus;
  std::uint16_t dataLength;
};

struct SizeCase {
  std::size_t size;
  std::vector<PacketShape> packets;
};

class FirmwareTransfer : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FirmwareTransfer, SendsStartPacketsAndFinishInLockStep) {
  const SizeCase& c = GetParam();
  Transfer t;
  const QByteArray firmware = image(c.size);
  t.device->startUpgrade(firmware, t.record());
  t.run(acceptAll);

  ASSERT_EQ(t.sent.size(), c.packets.size() + 2);
  EXPECT_EQ(t.sent.front().head.cmd.get(), 0x4000);
  EXPECT_EQ(t.sent.back().head.cmd.get(), 0x4300);
  for (const auto* edge : {&t.sent.front(), &t.sent.back()}) {
    EXPECT_EQ(edge->head.dataStatus, 0);
    EXPECT_EQ(edge->head.dataLength.get(), 0);
    EXPECT_EQ(edge->head.packNum.get(), 0U);
  }
  std::size_t offset = 0;
  for (std::size_t i = 0; i < c.packets.size(); ++i) {
    const hid_cmd_pack_t& pack = t.sent[i + 1];
    SCOPED_TRACE("packet " + std::to_string(i + 1));
    EXPECT_EQ(pack.head.cmd.get(), 0x4200);
    EXPECT_EQ(pack.head.packNum.get(), i + 1);
    EXPECT_EQ(pack.head.dataStatus, c.packets[i].dataStatus);
    const std::uint16_t length = c.packets[i].dataLength;
    ASSERT_EQ(pack.head.dataLength.get(), length);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(pack.data.data()), length),
              firmware.mid(static_cast<qsizetype>(offset), length));
    for (std::size_t j = length; j < pack.data.size(); ++j) {
      ASSERT_EQ(pack.data[j], 0) << "data byte " << j;
    }
    const auto bytes = pack.bytes();
    EXPECT_EQ(pack.head.crc.get(),
              hidChecksum(bytes.subspan(14, length), hidChecksum(bytes.first(12), 0xFFFF)));
    offset += length;
  }
  t.device->setTransferReplyTimeout(std::chrono::milliseconds(0));
  pumpEvents();
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0}) << "no timeout after the outcome";
}

INSTANTIATE_TEST_SUITE_P(Sizes, FirmwareTransfer,
                         ::testing::Values(SizeCase{1, {{2, 1}}}, SizeCase{1010, {{2, 1010}}},
                                           SizeCase{2020, {{1, 1010}, {2, 1010}}},
                                           SizeCase{2021, {{1, 1010}, {1, 1010}, {2, 1}}}));

TEST(FirmwareRefusal, EndsWithTheCameraCodeAndSendsNothingMore) {
  const std::vector<std::uint16_t> ten(10, 0x4200);
  std::vector<std::uint16_t> all = {0x4000};
  all.insert(all.end(), ten.begin(), ten.end());
  all.push_back(0x4300);
  // The refused command (and packet), and the commands sent until then.
  for (const auto& [cmd, packNum, sent] :
       std::vector<std::tuple<std::uint16_t, std::uint32_t, std::vector<std::uint16_t>>>{
           {0x4000, 0, {0x4000}},
           {0x4200, 5, {0x4000, 0x4200, 0x4200, 0x4200, 0x4200, 0x4200}},
           {0x4300, 0, all}}) {
    Transfer t;
    t.device->startUpgrade(image(10 * 1010), t.record());
    t.run([&](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
      const bool refused =
          request.head.cmd.get() == cmd && (cmd != 0x4200 || request.head.packNum.get() == packNum);
      return refused ? 0x33 : 0;
    });
    EXPECT_EQ(t.commands(), sent) << cmd;
    EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0x33}) << cmd;
  }
}

TEST(FirmwareTransferReplies, RepeatedFinalRepliesGiveOneFinishAndOneOutcome) {
  Transfer t;
  t.device->startUpgrade(image(2020), t.record());
  t.run([&](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
    const std::uint16_t cmd = request.head.cmd.get();
    if (cmd == 0x4300 || (cmd == 0x4200 && request.head.dataStatus == 2)) {
      t.camera.reply(cmd, 0);  // the camera answers the last packet and the finish twice
    }
    return 0;
  });
  EXPECT_EQ(t.commands(), (std::vector<std::uint16_t>{0x4000, 0x4200, 0x4200, 0x4300}));
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0});
}

TEST(FirmwareTransferTimeout, ACameraThatStopsAnsweringEndsTheTransfer) {
  Transfer t;
  t.device->startUpgrade(image(3030), t.record());
  t.run([](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
    if (request.head.cmd.get() == 0x4200 && request.head.packNum.get() == 2) {
      return std::nullopt;
    }
    return 0;
  });
  EXPECT_TRUE(t.outcomes.empty());
  t.device->setTransferReplyTimeout(std::chrono::milliseconds(0));
  pumpEvents();
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{USBDevice::kUpgradeNoReply});

  t.camera.reply(0x4200, 0);  // too late: ignored
  pumpEvents();
  EXPECT_TRUE(t.camera.requests().empty());
  EXPECT_EQ(t.outcomes.size(), 1U);
}

TEST(FirmwareTransferTimeout, StartAndFinishAreNotHeldToThePacketLimit) {
  for (const std::uint16_t silent : {0x4000, 0x4300}) {
    SCOPED_TRACE(silent);
    Transfer t;
    t.device->startUpgrade(image(1), t.record());
    t.run([&](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
      return request.head.cmd.get() == silent ? std::nullopt : std::optional<std::uint32_t>(0);
    });
    t.device->setTransferReplyTimeout(std::chrono::milliseconds(0));
    pumpEvents();
    EXPECT_TRUE(t.outcomes.empty()) << "the camera may be erasing or checking its flash";
    t.device->setTransferStepReplyTimeout(std::chrono::milliseconds(0));
    pumpEvents();
    EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{USBDevice::kUpgradeNoReply});
  }
}

TEST(FirmwareTransferStart, NothingIsSentForAnEmptyImageOrForStrayTransferReplies) {
  Transfer t;
  for (const std::uint16_t cmd : {0x4000, 0x4200, 0x4300}) {
    t.camera.reply(cmd, 0);
  }
  t.device->startUpgrade(QByteArray(), t.record());
  pumpEvents();
  EXPECT_TRUE(t.camera.requests().empty());
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{USBDevice::kUpgradeEmptyImage});
}

TEST(FirmwareTransferStart, StartingAgainAbandonsTheTransferInProgress) {
  Transfer t;
  std::vector<std::int64_t> firstOutcomes;
  t.device->startUpgrade(image(3030), [&](std::int64_t code) { firstOutcomes.push_back(code); });
  t.camera.requests();  // the first start, never answered
  t.device->startUpgrade(image(1), t.record());
  t.run(acceptAll);
  EXPECT_EQ(t.commands(), (std::vector<std::uint16_t>{0x4000, 0x4200, 0x4300}));
  EXPECT_TRUE(firstOutcomes.empty());
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0});
}

TEST(FirmwareTransferStart, AnUnpluggedCameraEndsTheTransferWithoutAnOutcome) {
  Transfer t;
  t.device->startUpgrade(image(3030), t.record());
  t.camera.unplug();
  pumpEvents();
  t.device->setTransferReplyTimeout(std::chrono::milliseconds(0));
  pumpEvents();
  EXPECT_TRUE(t.outcomes.empty());
}

TEST(FirmwareTransferCounter, IsCarriedBySetCommandsExceptIntelligentFraming) {
  Transfer t;
  t.device->startUpgrade(image(2021), t.record());
  t.run(acceptAll);
  ASSERT_EQ(t.outcomes, std::vector<std::int64_t>{0});

  t.device->setAngle(90, nullptr);
  t.device->setPickup(1, nullptr);
  t.device->setHMirror(true, nullptr);
  t.device->setFrameMaster(true, nullptr);
  t.device->setAutoFramingMode(1, nullptr);
  t.device->setAutoFraming(true, nullptr);
  std::vector<std::uint32_t> packNums;
  for (const auto& pack : t.camera.requests()) {
    packNums.push_back(pack.head.packNum.get());
  }
  EXPECT_EQ(packNums, (std::vector<std::uint32_t>{3, 3, 3, 3, 3, 0}));
}

}  // namespace
}  // namespace vexhal
