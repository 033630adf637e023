// USBDevice over a socket pair: how replies are decoded, which request each reply answers and
// how commands end when no reply can come. The camera checks the requests in the contract suite.
#include <cerrno>
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
using Calls = std::vector<std::string>;

// Collects what completions receive, as "code:value" texts ("code" for a bare code).
struct Recorder {
  Calls calls;
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

// clang-format off
using Call = std::function<void(USBDevice&, Recorder&)>;
const Call getState = [](USBDevice& d, Recorder& r) { d.getState(r.value()); };
const Call getVersion = [](USBDevice& d, Recorder& r) { d.getVersion(r.text()); };
const Call getSerial = [](USBDevice& d, Recorder& r) { d.getSerialNumber(r.text()); };
const Call getCapture = [](USBDevice& d, Recorder& r) { d.getCaptureInfo(r.flag()); };
const Call getMode = [](USBDevice& d, Recorder& r) { d.getAutoFramingMode(r.value()); };
const Call getMaster = [](USBDevice& d, Recorder& r) { d.getFrameMaster(r.flag()); };
const Call setAngle = [](USBDevice& d, Recorder& r) { d.setAngle(90, r.code()); };
// clang-format on

std::vector<std::uint8_t> captureInfo(std::uint16_t width, std::uint16_t height) {
  std::vector<std::uint8_t> d(36, 0);
  d[0] = width & 0xFF;
  d[1] = width >> 8;
  d[4] = height & 0xFF;
  d[5] = height >> 8;
  d[32] = 1;  // capturing
  return d;
}

// A reply the camera sends to a command, and what the completion makes of it.
struct ReplyCase {
  const char* name;
  Call call;
  std::uint16_t cmd;
  std::uint32_t code;
  std::vector<std::uint8_t> data;
  const char* expected;
};

// clang-format off
const std::vector<ReplyCase> kReplies = {
    {"stateReady", getState, 0x5000, 0, {0}, "0:1"},
    {"stateFailed", getState, 0x5000, 0, {1}, "0:2"},
    {"stateUnknownByte", getState, 0x5000, 0, {5}, "0:0"},
    {"versionNegativeByte", getVersion, 0x5001, 0, {1, 2, 200}, "0:1.2.-56"},
    {"serialCutToThirteenBytes", getSerial, 0x5010, 0,
     {'S', 'N', 0xE6, 0x91, 0x84, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'Z'},
     "0:SN\xE6\x91\x84xxxxxxxx"},
    {"serialInvalidUtf8", getSerial, 0x5010, 0,
     {'S', 'N', 0xFF, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}, "0:none"},
    {"serialCutMidCharacter", getSerial, 0x5010, 0,
     {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 0xE6, 0x91, 0x84}, "0:none"},
    {"capture4kWhateverTheCode", getCapture, 0x5020, 9, captureInfo(3840, 2160), "9:1"},
    {"captureHd", getCapture, 0x5020, 0, captureInfo(1920, 1080), "0:0"},
    {"framingModeSigned", getMode, 0x5030, 0, {0xFF}, "0:-1"},
    {"flagRefused", getMaster, 0x5040, 2, {1}, "2:0"}};
// clang-format on

// Replies carry neither magic nor checksum: they are taken by their command alone.
TEST(USBDeviceReplies, AreDecodedForTheirCompletions) {
  for (const ReplyCase& c : kReplies) {
    WiredDevice wired;
    Recorder recorder;
    c.call(*wired.device, recorder);
    wired.camera.reply(c.cmd, c.code, c.data);
    pumpEvents();
    EXPECT_EQ(recorder.calls, Calls{c.expected}) << c.name;
  }
}

// One command of each completion kind, and the value it is given when no answer can come.
const std::vector<std::tuple<Call, std::uint16_t, std::string>> kKinds = {
    {getState, 0x5000, ":0"},
    {getMaster, 0x5040, ":0"},
    {getVersion, 0x5001, ":none"},
    {setAngle, 0x50A1, ""}};

TEST(USBDeviceTimeout, ACommandCompletesOnceWithTheNoReplyCodeWhenNoReplyComes) {
  for (const auto& [call, cmd, empty] : kKinds) {
    WiredDevice wired;
    Recorder recorder;
    wired.device->setCommandReplyTimeout(std::chrono::milliseconds(0));
    call(*wired.device, recorder);
    pumpEvents();
    wired.camera.reply(cmd, 0);  // too late: ignored
    pumpEvents();
    EXPECT_EQ(recorder.calls, Calls{std::to_string(USBDevice::kCommandNoReply) + empty}) << cmd;
  }
}

// A camera this user may not open answers nothing: every command completes at once with
// kNotOpen, so no screen waits for a reply that cannot come.
TEST(NotOpenDevice, EveryCommandCompletesWithTheNotOpenCode) {
  test::ensureCoreApplication();
  auto device =
      std::make_shared<USBDevice>(test::FakeDiscovery::record("/dev/hidraw3"), UniqueFd(), EACCES);
  Recorder recorder;
  Calls expected;
  for (const auto& [call, cmd, empty] : kKinds) {
    call(*device, recorder);
    expected.push_back(std::to_string(USBDevice::kNotOpen) + empty);
  }
  device->startUpgrade(QByteArray(3000, 'x'), recorder.code());
  expected.push_back(std::to_string(USBDevice::kNotOpen));
  pumpEvents();
  EXPECT_EQ(recorder.calls, expected);
  EXPECT_EQ(device->openError(), EACCES);
}

// The properties are set before the completions run, and a failure clears them.
TEST(USBDeviceReplies, PropertiesAreSetBeforeTheCompletionsRunAndClearedByAFailure) {
  WiredDevice wired;
  USBDevice& device = *wired.device;
  Calls seen;
  const auto ask = [&] {
    device.getState(
        [&](std::int64_t, std::int64_t) { seen.push_back(std::to_string(device.state())); });
    device.getVersion(
        [&](std::int64_t, const auto&) { seen.push_back(device.version().value_or("none")); });
    device.getSerialNumber(
        [&](std::int64_t, const auto&) { seen.push_back(device.serialNumber().value_or("none")); });
  };
  ask();
  wired.camera.reply(0x5000, 0, {1});
  wired.camera.reply(0x5001, 0, {1, 0, 0});
  wired.camera.reply(0x5010, 0, {'A', 'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'Z'});
  pumpEvents();
  ask();
  for (const std::uint16_t cmd : {0x5000, 0x5001, 0x5010}) wired.camera.reply(cmd, 1);
  pumpEvents();
  // The serial number keeps its zero bytes.
  EXPECT_EQ(seen,
            (Calls{"2", "1.0.0", std::string("ABC\0\0\0\0\0\0\0\0\0\0", 13), "0", "none", "none"}));
  wired.camera.reply(0x5000, 0, {0});  // nobody asked: ignored
  pumpEvents();
  EXPECT_EQ(device.state(), 0);
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
  EXPECT_EQ(first.calls, (Calls{"0:2", "0:1", "0:60"}));
  EXPECT_EQ(second.calls, Calls{"0:2"});
}

TEST(USBDeviceReplies, ACompletionRunsLaterAndOutlivesTheLastOtherHolderOfItsDevice) {
  WiredDevice wired;
  Recorder recorder;
  wired.device->saveUVC(recorder.code());
  hid_cmd_pack_t reply{};
  reply.head.cmd.set(0x5100);
  wired.device->processInput(reply.bytes().data(), reply.bytes().size());
  EXPECT_TRUE(recorder.calls.empty()) << "completions run on the event loop";
  wired.device.reset();
  pumpEvents();
  EXPECT_EQ(recorder.calls, Calls{"0"});
}

}  // namespace
}  // namespace vexhal
