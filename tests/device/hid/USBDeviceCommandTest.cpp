// USBDevice over a socket pair: the report each command sends, how each reply is decoded, and
// the order in which completions and properties see them.
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "HidTestSupport.h"

namespace vexhal {
namespace {

using test::pumpEvents;
using test::WiredDevice;

// Collects what completions receive, as "code:value" texts ("code" for a bare code).
struct Recorder {
  std::vector<std::string> calls;
  void add(std::int64_t code, const std::string& value) {
    calls.push_back(std::to_string(code) + value);
  }
  USBDevice::ValueCallback value() {
    return [this](std::int64_t c, std::int64_t v) { add(c, ":" + std::to_string(v)); };
  }
  USBDevice::FlagCallback flag() {
    return [this](std::int64_t c, bool v) { add(c, v ? ":1" : ":0"); };
  }
  USBDevice::TextCallback text() {
    return [this](std::int64_t c, const std::optional<std::string>& t) {
      add(c, ":" + t.value_or("none"));
    };
  }
  USBDevice::CodeCallback code() {
    return [this](std::int64_t c) { add(c, ""); };
  }
};

// Every command, as the tables below call it.
// clang-format off
using Call = std::function<void(USBDevice&, Recorder&)>;
const Call getState = [](USBDevice& d, Recorder& r) { d.getState(r.value()); };
const Call getVersion = [](USBDevice& d, Recorder& r) { d.getVersion(r.text()); };
const Call getSerial = [](USBDevice& d, Recorder& r) { d.getSerialNumber(r.text()); };
const Call getCapture = [](USBDevice& d, Recorder& r) { d.getCaptureInfo(r.flag()); };
const Call getMode = [](USBDevice& d, Recorder& r) { d.getAutoFramingMode(r.value()); };
const Call getMaster = [](USBDevice& d, Recorder& r) { d.getFrameMaster(r.flag()); };
const Call getPickup = [](USBDevice& d, Recorder& r) { d.getPickup(r.value()); };
const Call getFraming = [](USBDevice& d, Recorder& r) { d.getAutoFraming(r.flag()); };
const Call getMirror = [](USBDevice& d, Recorder& r) { d.getHMirror(r.flag()); };
const Call getAngle = [](USBDevice& d, Recorder& r) { d.getAngle(r.value()); };
const Call saveUVC = [](USBDevice& d, Recorder& r) { d.saveUVC(r.code()); };
using Int = std::int64_t;
template <typename Value>
Call set(void (USBDevice::*setter)(Value, USBDevice::CodeCallback), Value v) {
  return [setter, v](USBDevice& d, Recorder& r) { (d.*setter)(v, r.code()); };
}
// clang-format on

std::vector<std::uint8_t> captureInfo(std::uint16_t width, std::uint16_t height,
                                      std::uint8_t status) {
  std::vector<std::uint8_t> d(36, 0);
  d[0] = width & 0xFF;
  d[1] = width >> 8;
  d[4] = height & 0xFF;
  d[5] = height >> 8;
  d[32] = status;
  return d;
}

// A command: the one payload byte its request carries, a reply the camera sends to it and what
// the completion makes of that reply.
struct CommandCase {
  const char* name;
  Call call;
  std::uint16_t cmd;
  std::optional<std::uint8_t> payload;
  std::uint32_t code;
  std::vector<std::uint8_t> data;
  const char* expected;
};

const std::optional<std::uint8_t> none;
// clang-format off
const std::vector<CommandCase> kCommands = {
    {"stateReady", getState, 0x5000, none, 0, {0}, "0:1"},
    {"stateFailed", getState, 0x5000, none, 0, {1}, "0:2"},
    {"stateUnknownByte", getState, 0x5000, none, 0, {5}, "0:0"},
    {"stateRefused", getState, 0x5000, none, 7, {0}, "7:0"},
    {"versionNegativeByte", getVersion, 0x5001, none, 0, {1, 2, 200}, "0:1.2.-56"},
    {"versionExtremes", getVersion, 0x5001, none, 0, {0x80, 0x7F, 0}, "0:-128.127.0"},
    {"versionRefused", getVersion, 0x5001, none, 3, {1, 2, 3}, "3:none"},
    {"serialThirteenBytes", getSerial, 0x5010, none, 0,
     {'V', 'X', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 'A', 'Z'}, "0:VX1234567890A"},
    {"serialMultiByteUtf8", getSerial, 0x5010, none, 0,
     {'S', 'N', 0xE6, 0x91, 0x84, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'},
     "0:SN\xE6\x91\x84xxxxxxxx"},
    {"serialInvalidUtf8", getSerial, 0x5010, none, 0,
     {'S', 'N', 0xFF, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}, "0:none"},
    {"serialCutMidCharacter", getSerial, 0x5010, none, 0,
     {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 0xE6, 0x91, 0x84}, "0:none"},
    {"serialRefused", getSerial, 0x5010, none, 2, {'A', 'B'}, "2:none"},
    {"capture4kWhateverTheCode", getCapture, 0x5020, none, 9, captureInfo(3840, 2160, 1), "9:1"},
    {"captureOtherStatus", getCapture, 0x5020, none, 0, captureInfo(3840, 2160, 2), "0:0"},
    {"captureHd", getCapture, 0x5020, none, 0, captureInfo(1920, 1080, 1), "0:0"},
    {"framingModeSigned", getMode, 0x5030, none, 0, {0xFF}, "0:-1"},
    {"framingModeRefused", getMode, 0x5030, none, 1, {3}, "1:0"},
    {"pickup", getPickup, 0x5070, none, 0, {3}, "0:3"},
    {"angleHighByteIsNegative", getAngle, 0x50A0, none, 0, {200}, "0:-56"},
    {"frameMasterOn", getMaster, 0x5040, none, 0, {1}, "0:1"},
    {"frameMasterRefused", getMaster, 0x5040, none, 2, {1}, "2:0"},
    {"autoFramingOff", getFraming, 0x5080, none, 0, {0}, "0:0"},
    {"mirrorOn", getMirror, 0x5090, none, 0, {1}, "0:1"},
    {"setFramingMode", set<Int>(&USBDevice::setAutoFramingMode, 2), 0x5031, 2, 0, {}, "0"},
    {"setFrameMaster", set<bool>(&USBDevice::setFrameMaster, true), 0x5041, 1, 6, {}, "6"},
    {"setPickupKeepsTheLowByte", set<Int>(&USBDevice::setPickup, 300), 0x5071, 0x2C, 4, {}, "4"},
    {"setAutoFraming", set<bool>(&USBDevice::setAutoFraming, true), 0x5081, 1, 0, {}, "0"},
    {"setMirrorOff", set<bool>(&USBDevice::setHMirror, false), 0x5091, 0, 0xFFFFFFFF, {},
     "4294967295"},
    {"setAngle", set<Int>(&USBDevice::setAngle, 90), 0x50A1, 90, 0, {}, "0"},
    {"save", saveUVC, 0x5100, none, 0, {}, "0"}};
// clang-format on

class USBDeviceCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(USBDeviceCommand, SendsOneWellFormedReportAndDecodesTheReply) {
  const CommandCase& c = GetParam();
  WiredDevice wired;
  Recorder recorder;
  c.call(*wired.device, recorder);

  const auto sent = wired.camera.requests();
  ASSERT_EQ(sent.size(), 1U);
  const hid_cmd_pack_t& pack = sent[0];
  EXPECT_EQ(pack.head.reportId, 0x01);
  EXPECT_EQ(pack.head.magic.get(), 0x5A5A);
  EXPECT_EQ(pack.head.cmd.get(), c.cmd);
  EXPECT_EQ(pack.head.packNum.get(), 0U);
  EXPECT_EQ(pack.head.dataStatus, c.payload ? 1 : 0);
  EXPECT_EQ(pack.head.dataLength.get(), c.payload ? 1 : 0);
  EXPECT_EQ(pack.data[0], c.payload.value_or(0));
  for (std::size_t i = 1; i < pack.data.size(); ++i) {
    ASSERT_EQ(pack.data[i], 0) << "data byte " << i;
  }
  const auto bytes = pack.bytes();
  EXPECT_EQ(pack.head.crc.get(), hidChecksum(bytes.subspan(14, c.payload ? 1 : 0),
                                             hidChecksum(bytes.first(12), 0xFFFF)));

  // Without report id, magic or checksum: replies are taken by their command alone.
  hid_cmd_pack_t reply{};
  reply.head.cmd.set(c.cmd);
  reply.head.packNum.set(c.code);
  std::copy(c.data.begin(), c.data.end(), reply.data.begin());
  wired.camera.sendRaw(&reply, sizeof reply);
  pumpEvents();
  EXPECT_EQ(recorder.calls, std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(AllCommands, USBDeviceCommand, ::testing::ValuesIn(kCommands),
                         [](const auto& param) { return std::string(param.param.name); });

// The code alone, or with the empty value of the command's kind.
std::vector<std::string> failed(const CommandCase& c, std::int64_t code) {
  const bool text = c.cmd == 0x5001 || c.cmd == 0x5010;
  const bool bare = std::string(c.expected).find(":") == std::string::npos;
  return {std::to_string(code) + (bare ? "" : text ? ":none" : ":0")};
}

TEST(USBDeviceTimeout, EveryCommandCompletesOnceWithItsOwnCodeWhenNoReplyComes) {
  for (const CommandCase& c : kCommands) {
    WiredDevice wired;
    Recorder recorder;
    wired.device->setCommandReplyTimeout(std::chrono::milliseconds(0));
    c.call(*wired.device, recorder);
    pumpEvents();
    wired.camera.reply(c.cmd, 0);  // too late: ignored
    pumpEvents();
    EXPECT_EQ(recorder.calls, failed(c, USBDevice::kCommandNoReply)) << c.name;
  }
}

// A camera this user may not open answers nothing: every command completes at once with
// kNotOpen, so no screen waits for a reply that cannot come.
TEST(NotOpenDevice, EveryCommandCompletesWithTheNotOpenCode) {
  test::ensureCoreApplication();
  auto device =
      std::make_shared<USBDevice>(test::FakeDiscovery::record("/dev/hidraw3"), UniqueFd(), EACCES);
  for (const CommandCase& c : kCommands) {
    Recorder recorder;
    c.call(*device, recorder);
    pumpEvents();
    EXPECT_EQ(recorder.calls, failed(c, USBDevice::kNotOpen)) << c.name;
  }
  Recorder upgrade;
  device->startUpgrade(QByteArray(3000, 'x'), upgrade.code());
  pumpEvents();
  EXPECT_EQ(upgrade.calls, std::vector{std::to_string(USBDevice::kNotOpen)});
  EXPECT_EQ(device->openError(), EACCES);
  // Without a reason given, an invalid descriptor still counts as not open.
  const USBDevice unexplained(test::FakeDiscovery::record("/dev/hidraw4"), UniqueFd());
  EXPECT_FALSE(unexplained.isOpen());
  EXPECT_NE(unexplained.openError(), 0);
}

TEST(USBDeviceReplies, UpdateThePropertyBeforeTheCompletionRuns) {
  WiredDevice wired;
  std::int64_t seenInCompletion = -1;
  std::optional<std::string> versionInCompletion;
  wired.device->getState(
      [&](std::int64_t, std::int64_t) { seenInCompletion = wired.device->state(); });
  wired.device->getVersion([&](std::int64_t, const std::optional<std::string>&) {
    versionInCompletion = wired.device->version();
  });
  hid_cmd_pack_t reply{};
  reply.head.cmd.set(0x5000);
  reply.data[0] = 1;
  wired.device->processInput(reply.bytes().data(), reply.bytes().size());
  EXPECT_EQ(wired.device->state(), 2);
  EXPECT_EQ(seenInCompletion, -1) << "completions run later, on the event loop";
  reply.head.cmd.set(0x5001);
  reply.data = {4, 5, 6};
  wired.device->processInput(reply.bytes().data(), reply.bytes().size());
  pumpEvents();
  EXPECT_EQ(seenInCompletion, 2);
  EXPECT_EQ(versionInCompletion, "4.5.6");
}

TEST(USBDeviceReplies, FailuresOverwriteThePropertiesWithNothing) {
  WiredDevice wired;
  const auto ask = [&] {
    wired.device->getState(nullptr);
    wired.device->getVersion(nullptr);
    wired.device->getSerialNumber(nullptr);
  };
  ask();
  wired.camera.reply(0x5000, 0, {0});
  wired.camera.reply(0x5001, 0, {1, 0, 0});
  wired.camera.reply(0x5010, 0, {'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'Z'});
  pumpEvents();
  EXPECT_EQ(wired.device->state(), 1);
  EXPECT_EQ(wired.device->version(), "1.0.0");
  EXPECT_EQ(wired.device->serialNumber(), std::string("ABC\0\0\0\0\0\0\0\0\0\0", 13))
      << "the serial number keeps its zero bytes";

  ask();
  wired.camera.reply(0x5000, 1);
  wired.camera.reply(0x5001, 1);
  wired.camera.reply(0x5010, 1);
  pumpEvents();
  EXPECT_EQ(wired.device->state(), 0);
  EXPECT_EQ(wired.device->version(), std::nullopt);
  EXPECT_EQ(wired.device->serialNumber(), std::nullopt);

  wired.camera.reply(0x5000, 0, {0});  // nobody asked: ignored
  pumpEvents();
  EXPECT_EQ(wired.device->state(), 0);
}

// Requests of one kind are answered once each in order; replies reach only their own kind's
// requests, in arrival order.
TEST(USBDeviceSlots, EachReplyAnswersTheOldestRequestOfItsOwnKind) {
  WiredDevice wired;
  Recorder first;
  Recorder second;
  wired.device->getState(first.value());
  wired.device->getState(second.value());
  wired.device->getAngle(first.value());
  wired.device->getPickup(first.value());
  wired.device->setAngle(90, first.code());
  wired.camera.reply(0x5070, 0, {2});
  wired.camera.reply(0x5000, 0, {0});
  wired.camera.reply(0x1234, 0, {9});  // no such command: ignored
  wired.camera.reply(0x5000, 0, {1});
  wired.camera.reply(0x5000, 5);  // repeated: ignored
  wired.camera.reply(0x50A0, 0, {60});
  pumpEvents();
  EXPECT_EQ(first.calls, (std::vector<std::string>{"0:2", "0:1", "0:60"}));
  EXPECT_EQ(second.calls, std::vector<std::string>{"0:2"});
}

TEST(USBDeviceSlots, ACompletionMayRequestTheSameKindAgain) {
  WiredDevice wired;
  Recorder recorder;
  wired.device->getState([&](std::int64_t code, std::int64_t) {
    recorder.calls.push_back("first " + std::to_string(code));
    wired.device->getState(recorder.value());
  });
  wired.camera.reply(0x5000, 0, {0});
  pumpEvents();
  wired.camera.reply(0x5000, 0, {1});
  pumpEvents();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"first 0", "0:2"}));
  EXPECT_EQ(wired.camera.requests().size(), 2U);
}

TEST(USBDeviceReplies, AShortReportReadsTheRestFromTheEarlierOne) {
  WiredDevice wired;
  Recorder recorder;
  wired.device->getVersion(recorder.text());
  wired.camera.reply(0x5001, 0, {7, 8, 9});
  pumpEvents();
  wired.device->getVersion(recorder.text());
  hid_cmd_pack_t shortReply{};
  shortReply.head.cmd.set(0x5001);
  shortReply.data[0] = 1;  // only the header and this byte travel
  wired.camera.sendRaw(&shortReply, 15);
  pumpEvents();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"0:7.8.9", "0:1.8.9"}));
}

TEST(USBDeviceReplies, ACompletionOutlivesTheLastOtherHolderOfItsDevice) {
  WiredDevice wired;
  Recorder recorder;
  wired.device->saveUVC(recorder.code());
  hid_cmd_pack_t reply{};
  reply.head.cmd.set(0x5100);
  wired.device->processInput(reply.bytes().data(), reply.bytes().size());
  wired.device.reset();
  pumpEvents();
  EXPECT_EQ(recorder.calls, std::vector<std::string>{"0"});
}

TEST(USBDeviceIdentity, NamesTheKnownProductAndNumbersOthers) {
  test::ensureCoreApplication();
  const USBDevice camera(HidDeviceRecord{"a", 0xB206, 0xB215, 0x14100000}, UniqueFd());
  EXPECT_EQ(camera.name(), "PICO EDGE");
  EXPECT_EQ(camera.modelName(), "VX-K31D");

  const USBDevice other(HidDeviceRecord{"b", 0xB206, 0xB216, 1}, UniqueFd());
  EXPECT_EQ(other.name(), "45590");
  EXPECT_EQ(other.modelName(), "");
}

TEST(USBDeviceSending, StopsOnceTheDeviceIsGone) {
  WiredDevice wired;
  EXPECT_TRUE(wired.device->sendOutputReport(getPackage(0x5000)));
  wired.camera.unplug();
  pumpEvents();
  EXPECT_FALSE(wired.device->sendOutputReport(getPackage(0x5000)));

  test::ensureCoreApplication();
  USBDevice unopened(HidDeviceRecord{"c", 0xB206, 0xB215, 1}, UniqueFd());
  EXPECT_FALSE(unopened.sendOutputReport(getPackage(0x5000)));
}

}  // namespace
}  // namespace vexhal
