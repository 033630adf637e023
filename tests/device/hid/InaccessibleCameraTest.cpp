#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "HidTestSupport.h"
#include "device/hid/USBHidManager.h"
#include "device/hid/linux/UdevHidDiscovery.h"
#include "device/hid/linux/UdevHidEventRoute.h"

namespace vexhal {
namespace {

using test::CameraEnd;
using test::pumpEvents;

constexpr std::uint16_t kGetState = 0x5000;

// Discovery whose nodes fail to open with a chosen errno until the test grants access.
class AccessDiscovery : public HidDiscovery {
 public:
  int start(std::uint16_t, std::uint16_t, Events events) override {
    events_ = std::move(events);
    return 0;
  }
  UniqueFd open(const HidDeviceRecord& device) override { return tryOpen(device).fd; }
  OpenResult tryOpen(const HidDeviceRecord& device) override {
    ++opens;
    if (const auto it = refusal_.find(device.key); it != refusal_.end()) {
      return OpenResult{UniqueFd(), it->second};
    }
    return OpenResult{cameras_[device.key].takeHostFd(), 0};
  }

  void attach(const std::string& key, int refusal) {
    cameras_[key] = CameraEnd();
    if (refusal != 0) {
      refusal_[key] = refusal;
    }
    events_.arrived(record(key));
  }
  void setRefusal(const std::string& key, int refusal) {
    if (refusal == 0) {
      refusal_.erase(key);
    } else {
      refusal_[key] = refusal;
    }
  }
  void change(const std::string& key) { events_.changed(record(key)); }
  CameraEnd& camera(const std::string& key) { return cameras_[key]; }

  int opens = 0;

 private:
  static HidDeviceRecord record(const std::string& key) {
    return HidDeviceRecord{key, 0xB206, 0xB215, 0x03142000};
  }
  Events events_;
  std::map<std::string, int> refusal_;
  std::map<std::string, CameraEnd> cameras_;
};

class LogDelegate : public USBHidDelegate {
 public:
  void usbHidManagerDidAttachDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log.push_back("+" + device->key() + (device->isOpen() ? " open" : " closed"));
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log.push_back("-" + device->key());
  }
  std::vector<std::string> log;
};

struct AccessManager : ::testing::Test {
  AccessManager() {
    test::ensureCoreApplication();
    auto owned = std::make_unique<AccessDiscovery>();
    discovery = owned.get();
    manager = std::make_unique<USBHidManager>(std::move(owned));
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(0xB206, 0xB215);
  }
  AccessDiscovery* discovery = nullptr;
  std::unique_ptr<USBHidManager> manager;
  std::shared_ptr<LogDelegate> delegate = std::make_shared<LogDelegate>();
};

struct RefusalCase {
  int error;
  bool listed;
};

class AccessRefusal : public AccessManager, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AccessRefusal, OnlyRefusedAccessIsListedAsNotOpen) {
  discovery->attach("/dev/hidraw3", GetParam().error);
  ASSERT_EQ(manager->devices().size(), GetParam().listed ? 1U : 0U);
  if (GetParam().listed) {
    const USBDevice& device = *manager->devices().front();
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.openError(), GetParam().error);
    EXPECT_EQ(device.key(), "/dev/hidraw3");
    EXPECT_EQ(device.locationID(), 0x03142000);
    EXPECT_EQ(device.name(), "PICO EDGE");
    EXPECT_EQ(delegate->log, std::vector<std::string>{"+/dev/hidraw3 closed"});
  } else {
    EXPECT_TRUE(delegate->log.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Errors, AccessRefusal,
                         ::testing::Values(RefusalCase{EACCES, true}, RefusalCase{EPERM, true},
                                           RefusalCase{EBUSY, false}, RefusalCase{ENOENT, false},
                                           RefusalCase{ENODEV, false}, RefusalCase{EIO, false}));

TEST_F(AccessManager, AnOpenableCameraIsOpenWithNoError) {
  discovery->attach("/dev/hidraw0", 0);
  ASSERT_EQ(manager->devices().size(), 1U);
  EXPECT_TRUE(manager->devices().front()->isOpen());
  EXPECT_EQ(manager->devices().front()->openError(), 0);
}

TEST_F(AccessManager, AChangeAfterAccessIsGrantedOpensTheCameraAsOnAReplug) {
  discovery->attach("/dev/hidraw3", EACCES);
  const std::shared_ptr<USBDevice> closed = manager->devices().front();
  discovery->setRefusal("/dev/hidraw3", 0);
  discovery->change("/dev/hidraw3");

  ASSERT_EQ(manager->devices().size(), 1U);
  const std::shared_ptr<USBDevice> opened = manager->devices().front();
  EXPECT_NE(opened, closed);
  EXPECT_TRUE(opened->isOpen());
  EXPECT_EQ(delegate->log, (std::vector<std::string>{"+/dev/hidraw3 closed", "-/dev/hidraw3",
                                                     "+/dev/hidraw3 open"}));

  // The new device talks to the camera.
  std::optional<std::int64_t> state;
  opened->getState([&](std::int64_t code, std::int64_t value) { state = code == 0 ? value : -1; });
  ASSERT_EQ(discovery->camera("/dev/hidraw3").requests().size(), 1U);
  discovery->camera("/dev/hidraw3").reply(kGetState, 0, {0});
  pumpEvents();
  EXPECT_EQ(state, 1);
}

TEST_F(AccessManager, AChangeThatStillFindsNoAccessOrABusyNodeKeepsTheListedDevice) {
  discovery->attach("/dev/hidraw3", EACCES);
  const std::shared_ptr<USBDevice> closed = manager->devices().front();
  for (const int refusal : {EACCES, EBUSY}) {
    discovery->setRefusal("/dev/hidraw3", refusal);
    discovery->change("/dev/hidraw3");
    ASSERT_EQ(manager->devices().size(), 1U);
    EXPECT_EQ(manager->devices().front(), closed) << refusal;
  }
  EXPECT_EQ(delegate->log, std::vector<std::string>{"+/dev/hidraw3 closed"});
}

TEST_F(AccessManager, AChangeOfAnOpenCameraLeavesItAlone) {
  discovery->attach("/dev/hidraw0", 0);
  const int opens = discovery->opens;
  discovery->change("/dev/hidraw0");
  EXPECT_EQ(discovery->opens, opens) << "an open camera must not be opened twice";
  EXPECT_EQ(delegate->log, std::vector<std::string>{"+/dev/hidraw0 open"});
}

TEST_F(AccessManager, AChangeOfACameraThatWasBusyAtArrivalAddsIt) {
  discovery->attach("/dev/hidraw1", EBUSY);
  EXPECT_TRUE(manager->devices().empty());
  discovery->setRefusal("/dev/hidraw1", 0);
  discovery->change("/dev/hidraw1");
  ASSERT_EQ(manager->devices().size(), 1U);
  EXPECT_TRUE(manager->devices().front()->isOpen());
}

// Every command of a camera that is not open completes at once with kNotOpen and its empty
// value, so no screen waits for a reply that cannot come.
TEST(NotOpenDevice, EveryCommandCompletesWithTheNotOpenCode) {
  test::ensureCoreApplication();
  auto device = std::make_shared<USBDevice>(
      HidDeviceRecord{"/dev/hidraw3", 0xB206, 0xB215, 0x03142000}, UniqueFd(), EACCES);
  std::vector<std::int64_t> codes;
  const auto code = [&](std::int64_t c) { codes.push_back(c); };
  const auto value = [&](std::int64_t c, std::int64_t v) { codes.push_back(v == 0 ? c : 999); };
  const auto flag = [&](std::int64_t c, bool v) { codes.push_back(v ? 999 : c); };
  const auto text = [&](std::int64_t c, const std::optional<std::string>& t) {
    codes.push_back(t ? 999 : c);
  };
  device->getState(value);
  device->getVersion(text);
  device->getSerialNumber(text);
  device->getCaptureInfo(flag);
  device->getAutoFramingMode(value);
  device->setAutoFramingMode(1, code);
  device->getFrameMaster(flag);
  device->setFrameMaster(true, code);
  device->getPickup(value);
  device->setPickup(1, code);
  device->getAutoFraming(flag);
  device->setAutoFraming(true, code);
  device->getHMirror(flag);
  device->setHMirror(true, code);
  device->getAngle(value);
  device->setAngle(90, code);
  device->saveUVC(code);
  device->startUpgrade(QByteArray(3000, 'x'), code);
  pumpEvents();
  EXPECT_EQ(codes, std::vector<std::int64_t>(18, USBDevice::kNotOpen));
  EXPECT_EQ(device->state(), 0);
  EXPECT_EQ(device->openError(), EACCES);
}

TEST(NotOpenDevice, AnInvalidDescriptorWithoutAReasonStillCountsAsNotOpen) {
  test::ensureCoreApplication();
  const USBDevice device(HidDeviceRecord{"/dev/hidraw3", 0xB206, 0xB215, 0}, UniqueFd());
  EXPECT_FALSE(device.isOpen());
  EXPECT_NE(device.openError(), 0);
}

struct RouteCase {
  const char* action;
  const char* node;
  bool hasRecord;
  const char* expected;  // which event fires, with its key; empty for none
};

class UdevEventRoute : public ::testing::TestWithParam<RouteCase> {};

TEST_P(UdevEventRoute, ReachesTheRightEvent) {
  std::string fired;
  HidDiscovery::Events events;
  events.arrived = [&](const HidDeviceRecord& r) { fired += "arrived " + r.key; };
  events.removed = [&](const std::string& key) { fired += "removed " + key; };
  events.changed = [&](const HidDeviceRecord& r) { fired += "changed " + r.key; };
  std::optional<HidDeviceRecord> record;
  if (GetParam().hasRecord) {
    record = HidDeviceRecord{GetParam().node, 0xB206, 0xB215, 0x03142000};
  }
  routeUdevHidEvent(GetParam().action, GetParam().node, record, events);
  EXPECT_EQ(fired, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, UdevEventRoute,
    ::testing::Values(RouteCase{"add", "/dev/hidraw3", true, "arrived /dev/hidraw3"},
                      RouteCase{"add", "/dev/hidraw4", false, ""},  // not a watched camera
                      RouteCase{"change", "/dev/hidraw3", true, "changed /dev/hidraw3"},
                      RouteCase{"change", "/dev/hidraw4", false, ""},
                      RouteCase{"remove", "/dev/hidraw3", false, "removed /dev/hidraw3"},
                      RouteCase{"remove", "", false, ""},
                      RouteCase{"bind", "/dev/hidraw3", true, ""},
                      RouteCase{"", "/dev/hidraw3", true, ""}));

// The reasons the udev backend gives, on ordinary files.
TEST(UdevTryOpen, SaysWhyANodeCannotBeOpened) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/hidraw0";
  std::ofstream(path) << "";
  auto discovery = UdevHidDiscovery::create();
  ASSERT_NE(discovery, nullptr);

  auto first = discovery->tryOpen(HidDeviceRecord{path, 0xB206, 0xB215, 0});
  ASSERT_TRUE(first.fd.isValid());
  EXPECT_EQ(first.error, 0);
  const auto held = discovery->tryOpen(HidDeviceRecord{path, 0xB206, 0xB215, 0});
  EXPECT_FALSE(held.fd.isValid());
  EXPECT_EQ(held.error, EBUSY);
  const auto gone = discovery->tryOpen(HidDeviceRecord{path + "-gone", 0xB206, 0xB215, 0});
  EXPECT_FALSE(gone.fd.isValid());
  EXPECT_EQ(gone.error, ENOENT);
}

}  // namespace
}  // namespace vexhal
