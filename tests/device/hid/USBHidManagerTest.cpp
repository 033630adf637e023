#include "device/hid/USBHidManager.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "HidTestSupport.h"

namespace vexhal {
namespace {

using test::CameraEnd;
using test::pumpEvents;

// Discovery driven by the test: `attach` hands out a camera end per key.
class FakeDiscovery : public HidDiscovery {
 public:
  int start(std::uint16_t vendorId, std::uint16_t productId, Events events) override {
    ++starts;
    startedWith = {vendorId, productId};
    events_ = std::move(events);
    return startStatus;
  }
  UniqueFd open(const HidDeviceRecord& device) override {
    const auto it = openable_.find(device.key);
    if (it == openable_.end()) {
      return UniqueFd();
    }
    UniqueFd fd = std::move(it->second);
    openable_.erase(it);
    return fd;
  }

  // A camera arrives; it can be opened unless `heldElsewhere`.
  CameraEnd& attach(const std::string& key, bool heldElsewhere = false) {
    CameraEnd& camera = cameras_[key] = CameraEnd();
    if (!heldElsewhere) {
      openable_[key] = camera.takeHostFd();
    }
    events_.arrived(HidDeviceRecord{key, 0xB206, 0xB215, 0x01100000});
    return camera;
  }
  void detach(const std::string& key) { events_.removed(key); }

  int startStatus = 0;
  int starts = 0;
  std::pair<std::uint16_t, std::uint16_t> startedWith;

 private:
  Events events_;
  std::map<std::string, UniqueFd> openable_;
  std::map<std::string, CameraEnd> cameras_;
};

class RecordingDelegate : public USBHidDelegate {
 public:
  RecordingDelegate(std::string name, std::vector<std::string>& log)
      : name_(std::move(name)), log_(log) {}
  void usbHidManagerDidAttachDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log_.push_back(name_ + " +" + device->key());
  }
  void usbHidManagerDidRemoveDevice(USBHidManager&,
                                    const std::shared_ptr<USBDevice>& device) override {
    log_.push_back(name_ + " -" + device->key());
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

struct ManagerTest : ::testing::Test {
  ManagerTest() {
    test::ensureCoreApplication();
    auto owned = std::make_unique<FakeDiscovery>();
    discovery = owned.get();
    manager = std::make_unique<USBHidManager>(std::move(owned));
    manager->startMonitoringForVendorID(0xB206, 0xB215);
  }

  std::vector<std::string> keys() const {
    std::vector<std::string> all;
    for (const auto& device : manager->devices()) {
      all.push_back(device->key());
    }
    return all;
  }

  std::shared_ptr<RecordingDelegate> delegate(const std::string& name) {
    auto d = std::make_shared<RecordingDelegate>(name, log);
    manager->addDelegate(d);
    return d;
  }

  FakeDiscovery* discovery = nullptr;
  std::unique_ptr<USBHidManager> manager;
  std::vector<std::string> log;
};

TEST_F(ManagerTest, KeepsDevicesInArrivalOrderAndTellsEveryDelegate) {
  const auto first = delegate("d1");
  const auto second = delegate("d2");
  discovery->attach("/dev/hidraw3");
  discovery->attach("/dev/hidraw1");
  EXPECT_EQ(keys(), (std::vector<std::string>{"/dev/hidraw3", "/dev/hidraw1"}));
  discovery->detach("/dev/hidraw3");
  EXPECT_EQ(keys(), std::vector<std::string>{"/dev/hidraw1"});
  EXPECT_EQ(log, (std::vector<std::string>{"d1 +/dev/hidraw3", "d2 +/dev/hidraw3",
                                           "d1 +/dev/hidraw1", "d2 +/dev/hidraw1",
                                           "d1 -/dev/hidraw3", "d2 -/dev/hidraw3"}));
  EXPECT_EQ(manager->devices()[0]->name(), "PICO EDGE");
  EXPECT_EQ(manager->devices()[0]->locationID(), 0x01100000);
}

TEST_F(ManagerTest, IgnoresUnknownRemovalsRepeatedArrivalsAndCamerasItCannotOpen) {
  const auto d = delegate("d");
  discovery->attach("/dev/hidraw0");
  discovery->attach("/dev/hidraw0");
  discovery->attach("/dev/hidraw5", /*heldElsewhere=*/true);
  discovery->detach("/dev/hidraw9");
  discovery->detach("/dev/hidraw5");
  EXPECT_EQ(keys(), std::vector<std::string>{"/dev/hidraw0"});
  EXPECT_EQ(log, std::vector<std::string>{"d +/dev/hidraw0"});
}

TEST_F(ManagerTest, ADestroyedOrRemovedDelegateHearsNothing) {
  auto gone = delegate("gone");
  const auto removed = delegate("removed");
  const auto kept = delegate("kept");
  manager->addDelegate(kept);  // twice: still called once
  manager->addDelegate(std::make_shared<USBHidDelegate>());  // implements nothing
  gone.reset();
  manager->removeDelegate(removed);
  discovery->attach("/dev/hidraw0");
  discovery->detach("/dev/hidraw0");
  EXPECT_EQ(log, (std::vector<std::string>{"kept +/dev/hidraw0", "kept -/dev/hidraw0"}));
}

TEST_F(ManagerTest, ADelegateMayChangeTheDelegatesWhileBeingCalled) {
  struct SelfRemoving : USBHidDelegate {
    std::function<void()> onAttach;
    void usbHidManagerDidAttachDevice(USBHidManager&, const std::shared_ptr<USBDevice>&) override {
      onAttach();
    }
  };
  auto self = std::make_shared<SelfRemoving>();
  std::shared_ptr<RecordingDelegate> late;
  self->onAttach = [&] {
    manager->removeDelegate(self);
    late = delegate("late");
  };
  manager->addDelegate(self);
  const auto kept = delegate("kept");
  discovery->attach("/dev/hidraw0");
  discovery->attach("/dev/hidraw1");
  EXPECT_EQ(log, (std::vector<std::string>{"kept +/dev/hidraw0", "kept +/dev/hidraw1",
                                           "late +/dev/hidraw1"}));
}

TEST_F(ManagerTest, ADeviceThatHangsUpIsRemovedOnceEvenWhenUdevAlsoReportsIt) {
  const auto d = delegate("d");
  CameraEnd& camera = discovery->attach("/dev/hidraw0");
  const std::shared_ptr<USBDevice> held = manager->devices().front();
  camera.unplug();
  pumpEvents();
  EXPECT_TRUE(manager->devices().empty());
  discovery->detach("/dev/hidraw0");
  pumpEvents();
  EXPECT_EQ(log, (std::vector<std::string>{"d +/dev/hidraw0", "d -/dev/hidraw0"}));
  EXPECT_FALSE(held->sendOutputReport(getPackage(0x5000)));
}

TEST_F(ManagerTest, AUdevRemovalBeforeTheHangUpIsAlsoReportedOnce) {
  const auto d = delegate("d");
  CameraEnd oldCamera = std::move(discovery->attach("/dev/hidraw0"));
  const std::shared_ptr<USBDevice> held = manager->devices().front();
  discovery->detach("/dev/hidraw0");
  // A new camera on the same node is not taken for the old one when the old one hangs up.
  discovery->attach("/dev/hidraw0");
  oldCamera.unplug();
  pumpEvents();
  EXPECT_EQ(keys(), std::vector<std::string>{"/dev/hidraw0"});
  EXPECT_EQ(log, (std::vector<std::string>{"d +/dev/hidraw0", "d -/dev/hidraw0",
                                           "d +/dev/hidraw0"}));
}

TEST(USBHidManagerStart, RefusesIdsOutOfRangeAndSurvivesAFailedStart) {
  test::ensureCoreApplication();
  auto owned = std::make_unique<FakeDiscovery>();
  FakeDiscovery* discovery = owned.get();
  discovery->startStatus = EACCES;
  USBHidManager manager(std::move(owned));
  manager.startMonitoringForVendorID(0x1B206, 0xB215);
  manager.startMonitoringForVendorID(0xB206, -1);
  EXPECT_EQ(discovery->starts, 0);
  manager.startMonitoringForVendorID(0xB206, 0xB215);
  EXPECT_EQ(discovery->starts, 1);
  EXPECT_EQ(discovery->startedWith, std::make_pair(std::uint16_t{0xB206}, std::uint16_t{0xB215}));
  EXPECT_TRUE(manager.devices().empty());

  USBHidManager without(nullptr);
  without.startMonitoringForVendorID(0xB206, 0xB215);
  EXPECT_TRUE(without.devices().empty());
}

TEST(USBHidManagerShared, UsesTheDiscoveryInstalledBeforeFirstUse) {
  test::ensureCoreApplication();
  auto owned = std::make_unique<FakeDiscovery>();
  FakeDiscovery* discovery = owned.get();
  ASSERT_TRUE(USBHidManager::installDiscovery(std::move(owned)));
  USBHidManager& shared = USBHidManager::shared();
  EXPECT_EQ(&shared, &USBHidManager::shared());
  EXPECT_FALSE(USBHidManager::installDiscovery(std::make_unique<FakeDiscovery>()));
  shared.startMonitoringForVendorID(0xB206, 0xB215);
  EXPECT_EQ(discovery->starts, 1);
  discovery->attach("/dev/hidraw0");
  EXPECT_EQ(shared.devices().size(), 1U);
}

}  // namespace
}  // namespace vexhal
