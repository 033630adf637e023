// The gadget side of the virtual camera over a socket pair standing in for /dev/hidg0, with a
// bus whose plug and unplug complete when the test says so: the node closed and reopened
// around the camera's bus changes, in whatever order they complete. (Reports answered through
// the gadget are the kernel suite's.)
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HidGadget.h"
#include "SimTestSupport.h"
#include "device/hid/USBDevice.h"

namespace vexhal::sim {
namespace {

using test::Answer;
using test::waitUntil;

class ManualBus : public GadgetBus {
 public:
  void setAttached(bool attached, Done done) override {
    requests.push_back(attached);
    pending.push_back(std::move(done));
  }
  // Completes the oldest request.
  void complete(bool ok = true) {
    ASSERT_FALSE(pending.empty());
    Done done = std::move(pending.front());
    pending.pop_front();
    done(ok);
  }

  std::vector<bool> requests;
  std::deque<Done> pending;
};

// Each open of the node makes a new socket pair; the host keeps the other end.
struct Node {
  UniqueFd open(const std::string& path) {
    paths.push_back(path);
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
      return UniqueFd();
    host = UniqueFd(fds[0]);
    return UniqueFd(fds[1]);
  }

  std::vector<std::string> paths;
  UniqueFd host;
};

class HidGadgetTest : public ::testing::Test {
 protected:
  HidGadgetTest() { test::ensureCoreApplication(); }

  std::unique_ptr<HidGadget> makeGadget() {
    return std::make_unique<HidGadget>(camera, "/dev/hidg0", bus,
                                       [this](const std::string& path) { return node.open(path); });
  }

  // The program's link to the camera on the host end of the current pair.
  std::shared_ptr<USBDevice> hostDevice() {
    return std::make_shared<USBDevice>(HidDeviceRecord{"/dev/hidraw0", 0xB206, 0xB215, 0x01100000},
                                       std::move(node.host));
  }

  VirtualCamera camera;
  ManualBus bus;
  Node node;
};

TEST_F(HidGadgetTest, UnplugAndPlugGoThroughTheBusAndReopenTheNodeOnlyOnceBound) {
  const auto gadget = makeGadget();
  EXPECT_TRUE(bus.requests.empty()) << "a gadget that exists is bound already";
  const auto device = hostDevice();

  camera.unplug();
  EXPECT_FALSE(gadget->isOpen());
  EXPECT_FALSE(gadget->isSettled());
  camera.plug();  // before the unplug has completed: both are carried out, in order
  EXPECT_EQ(bus.requests, (std::vector<bool>{false, true}));
  bus.complete();
  EXPECT_FALSE(gadget->isOpen());
  bus.complete();
  EXPECT_TRUE(gadget->isSettled());
  EXPECT_TRUE(gadget->isOpen());
  EXPECT_EQ(node.paths.size(), 2u);
  EXPECT_EQ(gadget->busFailures(), 0u);

  // The old link is closed; the new one answers.
  Answer<std::int64_t> oldState;
  device->getState([&](std::int64_t c, std::int64_t v) { oldState = {c, v, 1}; });
  test::settle();
  EXPECT_FALSE(oldState.arrived());
  const auto again = hostDevice();
  EXPECT_EQ(test::ask<std::int64_t>([&](auto done) { again->getState(done); }).code, 0);
}

TEST_F(HidGadgetTest, AFailedBusChangeIsCountedAndTheNodeStaysClosedWhileUnplugged) {
  auto gadget = makeGadget();
  camera.unplug();
  bus.complete(false);
  EXPECT_EQ(gadget->busFailures(), 1u);
  EXPECT_TRUE(gadget->isSettled());
  EXPECT_FALSE(gadget->isOpen());

  // A plug that completes after the camera left again does not reopen the node.
  camera.plug();
  camera.unplug();
  bus.complete();
  EXPECT_FALSE(gadget->isOpen());
  bus.complete();
  EXPECT_FALSE(gadget->isOpen());
  EXPECT_EQ(node.paths.size(), 1u);

  // Completions that arrive after the gadget is gone are ignored.
  camera.plug();
  gadget.reset();
  bus.complete();
  EXPECT_TRUE(bus.pending.empty());
  EXPECT_EQ(node.paths.size(), 1u);
}

}  // namespace
}  // namespace vexhal::sim
