// The firmware transfer against a camera that answers as each case asks.
#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "HidTestSupport.h"
#include "device/hid/FirmwareTransfer.h"

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

using Answer = std::function<std::optional<std::uint32_t>(const hid_cmd_pack_t&)>;
const Answer acceptAll = [](const hid_cmd_pack_t&) -> std::optional<std::uint32_t> { return 0; };

// A transfer whose requests are recorded and answered by run(), each with the code `answer`
// picks for it, or left unanswered.
struct Transfer {
  Transfer() {
    test::ensureCoreApplication();
    transfer.setReplyTimeout(std::chrono::hours(1));
    transfer.setStepReplyTimeout(std::chrono::hours(1));
  }

  void run(const Answer& answer) {
    while (!pending.empty()) {
      const hid_cmd_pack_t request = pending.front();
      pending.pop_front();
      if (const auto code = answer(request)) transfer.handleReply(request.head.cmd.get(), *code);
    }
  }

  std::vector<std::uint16_t> commands() const {
    std::vector<std::uint16_t> cmds;
    for (const auto& pack : sent) cmds.push_back(pack.head.cmd.get());
    return cmds;
  }

  std::vector<hid_cmd_pack_t> sent;
  std::deque<hid_cmd_pack_t> pending;
  std::vector<std::int64_t> outcomes;
  FirmwareTransfer transfer{[this](const hid_cmd_pack_t& pack) {
                              sent.push_back(pack);
                              pending.push_back(pack);
                            },
                            [this](std::int64_t code) { outcomes.push_back(code); }};
};

// Start, numbered packets of at most 1010 bytes (status 2 on the last) and finish, each sent once
// the previous one is answered. The camera checks the bytes it receives in the contract suite.
TEST(FirmwareTransferSizes, SendsStartPacketsAndFinishInLockStep) {
  using Shapes = std::vector<std::string>;  // "cmd packNum status/length"
  for (const auto& [size, shapes] : std::vector<std::pair<std::size_t, Shapes>>{
           {2020, {"4000 0 0/0", "4200 1 1/1010", "4200 2 2/1010", "4300 0 0/0"}},
           {2021, {"4000 0 0/0", "4200 1 1/1010", "4200 2 1/1010", "4200 3 2/1", "4300 0 0/0"}}}) {
    Transfer t;
    t.transfer.start(image(size));
    t.run(acceptAll);
    Shapes sent;
    for (const hid_cmd_pack_t& p : t.sent) {
      sent.push_back(QString("%1 %2 %3/%4")
                         .arg(p.head.cmd.get(), 0, 16)
                         .arg(p.head.packNum.get())
                         .arg(p.head.dataStatus)
                         .arg(p.head.dataLength.get())
                         .toStdString());
    }
    EXPECT_EQ(sent, shapes);
    t.transfer.setReplyTimeout(std::chrono::milliseconds(0));
    pumpEvents();
    EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0}) << "no timeout after the outcome";
  }
}

TEST(FirmwareRefusal, EndsWithTheCameraCodeAndSendsNothingMore) {
  std::vector<std::uint16_t> all(12, 0x4200);  // start, ten packets, finish
  all.front() = 0x4000;
  all.back() = 0x4300;
  // The refused command (and packet), and the commands sent until then.
  for (const auto& [cmd, packNum, sent] :
       std::vector<std::tuple<std::uint16_t, std::uint32_t, std::vector<std::uint16_t>>>{
           {0x4000, 0, {0x4000}},
           {0x4200, 5, {0x4000, 0x4200, 0x4200, 0x4200, 0x4200, 0x4200}},
           {0x4300, 0, all}}) {
    Transfer t;
    t.transfer.start(image(10 * 1010));
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
  t.transfer.start(image(2020));
  t.run([&](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
    const std::uint16_t cmd = request.head.cmd.get();
    if (cmd == 0x4300 || (cmd == 0x4200 && request.head.dataStatus == 2)) {
      t.transfer.handleReply(cmd, 0);  // the camera answers the last packet and the finish twice
    }
    return 0;
  });
  EXPECT_EQ(t.commands(), (std::vector<std::uint16_t>{0x4000, 0x4200, 0x4200, 0x4300}));
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0});
}

// A silent camera ends the transfer: within the reply timeout when a data packet goes
// unanswered, within the longer step timeout at the start and the finish (the camera may be
// erasing or checking its flash). A reply after that changes nothing.
TEST(FirmwareTransferTimeout, ACameraThatStopsAnsweringEndsTheTransfer) {
  struct Silent {
    std::uint16_t cmd;
    std::uint32_t packNum;
    bool stepOnly;
  };
  for (const Silent silent :
       {Silent{0x4200, 2, false}, Silent{0x4000, 0, true}, Silent{0x4300, 0, true}}) {
    Transfer t;
    t.transfer.start(image(3030));
    t.run([&](const hid_cmd_pack_t& request) -> std::optional<std::uint32_t> {
      const bool quiet =
          request.head.cmd.get() == silent.cmd && request.head.packNum.get() == silent.packNum;
      return quiet ? std::nullopt : std::optional<std::uint32_t>(0);
    });
    t.transfer.setReplyTimeout(std::chrono::milliseconds(0));
    pumpEvents();
    EXPECT_EQ(t.outcomes.empty(), silent.stepOnly) << silent.cmd;
    t.transfer.setStepReplyTimeout(std::chrono::milliseconds(0));
    pumpEvents();
    EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{FirmwareTransfer::kNoReply}) << silent.cmd;
    const std::size_t sent = t.sent.size();
    t.transfer.handleReply(silent.cmd, 0);
    EXPECT_EQ(t.sent.size(), sent);
    EXPECT_EQ(t.outcomes.size(), 1U);
  }
}

// Stray transfer replies and an empty image send nothing; starting again abandons the transfer
// in progress.
TEST(FirmwareTransferStart, SendsNothingForStrayRepliesOrAnEmptyImageAndRestartsCleanly) {
  Transfer t;
  for (const std::uint16_t cmd : {0x4000, 0x4200, 0x4300}) t.transfer.handleReply(cmd, 0);
  t.transfer.start(QByteArray());
  EXPECT_TRUE(t.sent.empty());
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{FirmwareTransfer::kEmptyImage});
  t.outcomes.clear();
  t.transfer.start(image(3030));
  t.pending.clear();  // the first start, never answered
  t.sent.clear();
  t.transfer.start(image(1));
  t.run(acceptAll);
  EXPECT_EQ(t.commands(), (std::vector<std::uint16_t>{0x4000, 0x4200, 0x4300}));
  EXPECT_EQ(t.outcomes, std::vector<std::int64_t>{0});
}

// The device's side: an unplugged camera ends the transfer without an outcome, and the data
// packets sent are carried by the set commands (except intelligent framing's).
TEST(USBDeviceTransfer, EndsSilentlyOnUnplugAndLeavesItsPacketCountToSetCommands) {
  WiredDevice wired;
  std::vector<std::int64_t> outcomes;
  const auto record = [&](std::int64_t code) { outcomes.push_back(code); };
  wired.device->startUpgrade(image(2021), record);
  for (int round = 0; round < 10; ++round) {
    for (const hid_cmd_pack_t& request : wired.camera.requests()) {
      wired.camera.reply(request.head.cmd.get(), 0);
    }
    pumpEvents(2);
  }
  ASSERT_EQ(outcomes, std::vector<std::int64_t>{0});
  wired.device->setAngle(90, nullptr);
  wired.device->setPickup(1, nullptr);
  wired.device->setHMirror(true, nullptr);
  wired.device->setFrameMaster(true, nullptr);
  wired.device->setAutoFramingMode(1, nullptr);
  wired.device->setAutoFraming(true, nullptr);
  std::vector<std::uint32_t> packNums;
  for (const auto& pack : wired.camera.requests()) packNums.push_back(pack.head.packNum.get());
  EXPECT_EQ(packNums, (std::vector<std::uint32_t>{3, 3, 3, 3, 3, 0}));

  wired.device->startUpgrade(image(3030), record);
  wired.camera.unplug();
  pumpEvents();
  wired.device->setTransferStepReplyTimeout(std::chrono::milliseconds(0));
  pumpEvents();
  EXPECT_EQ(outcomes.size(), 1U);
}

}  // namespace
}  // namespace vexhal
