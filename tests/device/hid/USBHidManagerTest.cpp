// The HID manager over a fake discovery: arrival order, delegates, hang-ups and nodes this user
// may not open; the udev backend's exclusive open and its event routing.
#include <QTemporaryDir>

#include <cerrno>
#include <fstream>

#include "HidTestSupport.h"
#include "device/hid/linux/UdevHidDiscovery.h"
#include "device/hid/linux/UdevHidEventRoute.h"

namespace vexhal {
namespace {

using test::CameraEnd;
using test::FakeDiscovery;
using test::LogDelegate;
using test::pumpEvents;
using Log = std::vector<std::string>;
using Manager = test::CameraOnManager;

TEST_F(Manager, KeepsDevicesInArrivalOrderAndTellsEveryDelegateOnce) {
  const auto second = std::make_shared<LogDelegate>(log, "2");
  manager->addDelegate(second);
  discovery->attach("/dev/hidraw3");
  discovery->attach("/dev/hidraw1");
  discovery->attach("/dev/hidraw1");  // repeated: ignored
  EXPECT_EQ(keys(), (Log{"/dev/hidraw3", "/dev/hidraw1"}));
  discovery->detach("/dev/hidraw3");
  discovery->detach("/dev/hidraw9");  // unknown: ignored
  EXPECT_EQ(keys(), Log{"/dev/hidraw1"});
  EXPECT_EQ(log, (Log{"+/dev/hidraw3", "2+/dev/hidraw3", "+/dev/hidraw1", "2+/dev/hidraw1",
                      "-/dev/hidraw3", "2-/dev/hidraw3"}));
  EXPECT_EQ(manager->devices()[0]->name(), "PICO EDGE");
  EXPECT_EQ(manager->devices()[0]->locationID(), 0x03142000);
}

TEST_F(Manager, ADelegateMayChangeTheDelegatesWhileBeingCalled) {
  struct SelfRemoving : USBHidDelegate {
    std::function<void()> onAttach;
    void usbHidManagerDidAttachDevice(USBHidManager&, const std::shared_ptr<USBDevice>&) override {
      onAttach();
    }
  };
  manager->removeDelegate(delegate);
  auto self = std::make_shared<SelfRemoving>();
  const auto late = std::make_shared<LogDelegate>(log, "late");
  self->onAttach = [&] {
    log.push_back("self");
    manager->removeDelegate(self);
    manager->addDelegate(late);
  };
  manager->addDelegate(self);
  manager->addDelegate(delegate);
  discovery->attach("/dev/hidraw0");
  discovery->attach("/dev/hidraw1");
  EXPECT_EQ(log, (Log{"self", "+/dev/hidraw0", "+/dev/hidraw1", "late+/dev/hidraw1"}));
}

TEST_F(Manager, AHangUpAndAUdevRemovalOfOneCameraAreOneRemovalInEitherOrder) {
  CameraEnd& camera = discovery->attach("/dev/hidraw0");
  const std::shared_ptr<USBDevice> held = manager->devices().front();
  camera.unplug();
  pumpEvents();
  EXPECT_TRUE(manager->devices().empty());
  discovery->detach("/dev/hidraw0");
  pumpEvents();
  EXPECT_FALSE(held->sendOutputReport(getPackage(0x5000)));

  CameraEnd oldCamera = std::move(discovery->attach("/dev/hidraw0"));
  discovery->detach("/dev/hidraw0");
  // A new camera on the same node is not taken for the old one when the old one hangs up.
  discovery->attach("/dev/hidraw0");
  oldCamera.unplug();
  pumpEvents();
  EXPECT_EQ(keys(), Log{"/dev/hidraw0"});
  EXPECT_EQ(log, (Log{"+/dev/hidraw0", "-/dev/hidraw0", "+/dev/hidraw0", "-/dev/hidraw0",
                      "+/dev/hidraw0"}));
}

TEST_F(Manager, OnlyACameraThisUserMayNotOpenIsListedAsNotOpen) {
  const std::pair<int, bool> rows[] = {
      {0, true}, {EACCES, true}, {EPERM, true}, {EBUSY, false}, {ENOENT, false}};
  for (const auto& [error, listed] : rows) {
    log.clear();
    const std::string key = "/dev/hidraw" + std::to_string(error);
    discovery->attach(key, error);
    EXPECT_EQ(log, listed ? Log{"+" + key + (error != 0 ? " closed" : "")} : Log{}) << error;
    if (listed) {
      const USBDevice& device = *manager->devices().back();
      EXPECT_EQ(device.isOpen(), error == 0);
      EXPECT_EQ(device.openError(), error);
    }
  }
}

// A change opens a camera that is not open yet, as on a replug, and leaves an open one alone.
TEST_F(Manager, AChangeAfterAccessIsGrantedOpensTheCameraAsOnAReplug) {
  discovery->attach("/dev/hidraw3", EACCES);
  const std::shared_ptr<USBDevice> closed = manager->devices().front();
  // Still no access, or held by another program: the listed device stays.
  for (const int refusal : {EACCES, EBUSY}) {
    discovery->refusals["/dev/hidraw3"] = refusal;
    discovery->change("/dev/hidraw3");
    EXPECT_EQ(manager->devices(), std::vector{closed}) << refusal;
  }
  discovery->refusals["/dev/hidraw3"] = 0;
  discovery->change("/dev/hidraw3");
  ASSERT_EQ(manager->devices().size(), 1U);
  EXPECT_TRUE(manager->devices().front()->isOpen());
  const int opens = discovery->opens;
  discovery->change("/dev/hidraw3");
  EXPECT_EQ(discovery->opens, opens) << "an open camera must not be opened twice";
  discovery->attach("/dev/hidraw1", EBUSY);  // busy when it arrived, free now: added
  discovery->refusals["/dev/hidraw1"] = 0;
  discovery->change("/dev/hidraw1");
  EXPECT_EQ(log, (Log{"+/dev/hidraw3 closed", "-/dev/hidraw3", "+/dev/hidraw3", "+/dev/hidraw1"}));
}

TEST(USBHidManagerStart, SurvivesAFailedStartAndAMissingDiscovery) {
  test::ensureCoreApplication();
  auto* discovery = new FakeDiscovery;
  discovery->startStatus = EACCES;
  USBHidManager manager{std::unique_ptr<HidDiscovery>(discovery)};
  manager.startMonitoringForVendorID(0xB206, 0xB215);
  EXPECT_TRUE(manager.devices().empty());
  USBHidManager without(nullptr);
  without.startMonitoringForVendorID(0xB206, 0xB215);
  EXPECT_TRUE(without.devices().empty());
}

TEST(UdevEventRoute, ReachesTheRightEvent) {
  struct Row {
    const char* action;
    const char* node;
    bool watched;
    const char* fired;
  };
  for (const Row& row : {Row{"add", "/dev/hidraw3", true, "arrived /dev/hidraw3"},
                         Row{"add", "/dev/hidraw4", false, ""},
                         Row{"change", "/dev/hidraw3", true, "changed /dev/hidraw3"},
                         Row{"remove", "/dev/hidraw3", false, "removed /dev/hidraw3"},
                         Row{"remove", "", false, ""}, Row{"bind", "/dev/hidraw3", true, ""}}) {
    std::string fired;
    HidDiscovery::Events events;
    events.arrived = [&](const HidDeviceRecord& r) { fired += "arrived " + r.key; };
    events.removed = [&](const std::string& key) { fired += "removed " + key; };
    events.changed = [&](const HidDeviceRecord& r) { fired += "changed " + r.key; };
    std::optional<HidDeviceRecord> record;
    if (row.watched) record = FakeDiscovery::record(row.node);
    routeUdevHidEvent(row.action, row.node, record, events);
    EXPECT_EQ(fired, row.fired) << row.action << " " << row.node;
  }
}

// The udev backend on ordinary files: the node's kind does not matter to the locking.
TEST(UdevOpen, TakesTheNodeExclusivelyAndSaysWhyItCannot) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/hidraw0";
  std::ofstream(path) << "";
  auto discovery = UdevHidDiscovery::create();
  ASSERT_NE(discovery, nullptr);
  auto first = discovery->tryOpen(FakeDiscovery::record(path));
  ASSERT_TRUE(first.fd.isValid());
  EXPECT_EQ(first.error, 0);
  const auto held = discovery->tryOpen(FakeDiscovery::record(path));
  EXPECT_FALSE(held.fd.isValid());
  EXPECT_EQ(held.error, EBUSY);
  EXPECT_FALSE(discovery->open(FakeDiscovery::record(path)).isValid());
  first.fd.reset();
  EXPECT_TRUE(discovery->open(FakeDiscovery::record(path)).isValid());
  const auto gone = discovery->tryOpen(FakeDiscovery::record(path + "-gone"));
  EXPECT_FALSE(gone.fd.isValid());
  EXPECT_EQ(gone.error, ENOENT);
}

}  // namespace
}  // namespace vexhal
