// The HID link against a real kernel: the camera found through libudev at its bus and port,
// paired with its video node, commands over hidraw, a firmware transfer with the camera's
// restart, and unplugging and replugging as the manager and its delegates see them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "KernelRig.h"
#include "device/hid/CaptureDevicePairing.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidDelegate.h"
#include "device/hid/USBHidManager.h"
#include "device/hid/linux/UdevHidDiscovery.h"
#include "device/uvc/UVCCameraControl.h"
#include "video/linux/V4l2CaptureBackend.h"

namespace vexhal::kernel::test {
namespace {

using sim::test::Answer;

class KernelHid : public ::testing::Test {
 protected:
  void SetUp() override {
    std::unique_ptr<HidDiscovery> discovery = UdevHidDiscovery::create();
    ASSERT_NE(discovery, nullptr);
    manager = std::make_unique<USBHidManager>(std::move(discovery));
    manager->addDelegate(delegate);
    manager->startMonitoringForVendorID(kVendorId, kProductId);
    ASSERT_TRUE(waitUntil([this] { return !manager->devices().empty(); }, kBusBound))
        << "the camera on " << rigVariable("RIG_HIDRAW") << " never reached the manager";
  }

  std::shared_ptr<USBDevice> device() const {
    return manager->devices().empty() ? nullptr : manager->devices().front();
  }

  template <typename Value, typename Call>
  Answer<Value> ask(Call call) {
    return sim::test::ask<Value>(call, kBusBound);
  }
  template <typename Call>
  std::int64_t askCode(Call call) {
    return sim::test::askCode(call, kBusBound);
  }

  // Waits for the camera to leave the manager and a new device to take its place.
  bool comesBack(const std::weak_ptr<USBDevice>& before) {
    return waitUntil(
               [&] {
                 return before.expired() && manager->devices().size() == 1 &&
                        rig.gadget->isOpen();
               },
               kBusBound) &&
           rig.settle();
  }

  GadgetCamera rig;
  std::shared_ptr<sim::test::RecordingDelegate> delegate = std::make_shared<sim::test::RecordingDelegate>();
  std::unique_ptr<USBHidManager> manager;
};

TEST_F(KernelHid, TheCameraIsFoundAtItsBusAndPortAndPairedWithItsVideoNode) {
  ASSERT_EQ(manager->devices().size(), 1u);
  const auto camera = device();
  EXPECT_EQ(camera->key(), rigVariable("RIG_HIDRAW"));
  // The manager holds the node exclusively: another opener is turned away.
  const std::unique_ptr<HidDiscovery> other = UdevHidDiscovery::create();
  EXPECT_FALSE(other->open({camera->key(), kVendorId, kProductId, camera->locationID()}).isValid());

  // dummy_hcd has one root port: bus N, port path "1".
  const int bus = usbBusNumberOf(rigVariable("RIG_HIDRAW"));
  ASSERT_GT(bus, 0);
  const std::int64_t expected = (std::int64_t{bus} << 24) | 0x00100000;
  EXPECT_EQ(camera->locationID(), expected);

  char uniqueId[32];
  std::snprintf(uniqueId, sizeof uniqueId, "0x%llx%04x%04x",
                static_cast<unsigned long long>(expected), kVendorId, kProductId);
  video::V4l2CaptureBackend capture;
  std::vector<video::CaptureDevice> paired;
  for (const video::CaptureDevice& candidate : capture.devices()) {
    if (isMatched(candidate.uniqueId, camera->locationID())) {
      paired.push_back(candidate);
    }
  }
  // The metadata node of the same camera must not pair as a second capture device.
  ASSERT_EQ(paired.size(), 1u);
  EXPECT_EQ(paired.front().path, rigVariable("RIG_VIDEO"));
  EXPECT_EQ(paired.front().uniqueId, uniqueId);
  EXPECT_EQ(usbBusNumberOf(paired.front().path), bus);

  EXPECT_TRUE(UVCCameraControl(static_cast<std::uint32_t>(camera->locationID())).hasInterface());
  EXPECT_TRUE(UVCCameraControl::withUniqueId(paired.front().uniqueId).hasInterface());
}

TEST_F(KernelHid, StateVersionAndSerialNumberComeBackOverHidraw) {
  const auto camera = device();
  const auto state = ask<std::int64_t>([&](auto done) { camera->getState(done); });
  EXPECT_EQ(state.code, 0);
  EXPECT_EQ(state.value, 1);  // ready
  const auto version =
      ask<std::optional<std::string>>([&](auto done) { camera->getVersion(done); });
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.value, rig.camera.firmwareVersion().text());
  const auto serial =
      ask<std::optional<std::string>>([&](auto done) { camera->getSerialNumber(done); });
  EXPECT_EQ(serial.code, 0);
  EXPECT_EQ(serial.value, rig.camera.serialNumber());
  EXPECT_EQ(camera->serialNumber(), rig.camera.serialNumber());
}

// Each setting is set to a value other than the camera's default, read back over the link,
// and compared with what the camera holds.
TEST_F(KernelHid, EverySettingIsSetReadBackAndSaved) {
  const auto camera = device();
  for (const sim::test::FunctionCase& setting : sim::test::functionCases()) {
    SCOPED_TRACE(setting.name);
    ASSERT_NE(setting.held(rig.camera.functions()), setting.value) << "not a change";
    EXPECT_EQ(askCode([&](auto done) { setting.set(*camera, setting.value, done); }), 0);
    const auto read = ask<std::int64_t>([&](auto done) { setting.get(*camera, done); });
    EXPECT_EQ(read.code, 0);
    EXPECT_EQ(read.value, setting.value);
    EXPECT_EQ(setting.held(rig.camera.functions()), setting.value);
  }
  // Out of range: refused by the camera, nothing changes.
  EXPECT_NE(askCode([&](auto done) { camera->setAngle(75, done); }), 0);
  EXPECT_EQ(rig.camera.functions().angle, 90);

  EXPECT_NE(rig.camera.savedFunctions(), rig.camera.functions());
  EXPECT_EQ(askCode([&](auto done) { camera->saveUVC(done); }), 0);
  EXPECT_EQ(rig.camera.savedFunctions(), rig.camera.functions());
}

TEST_F(KernelHid, UnplugAndReplugAreOneRemovalAndOneArrival) {
  const std::weak_ptr<USBDevice> before = device();
  const std::string oldKey = device()->key();
  delegate->events.clear();

  ASSERT_TRUE(rig.unplug());
  ASSERT_TRUE(waitUntil([&] { return manager->devices().empty(); }, kBusBound));
  EXPECT_EQ(delegate->events, std::vector<std::string>{"-" + oldKey});
  // Nothing else holds the camera's link once the manager has let it go.
  EXPECT_TRUE(waitUntil([&] { return before.expired(); }));

  ASSERT_TRUE(rig.plug());
  ASSERT_TRUE(waitUntil([&] { return !manager->devices().empty(); }, kBusBound));
  sim::test::settle();
  ASSERT_EQ(manager->devices().size(), 1u);
  EXPECT_EQ(device()->key(), rigVariable("RIG_HIDRAW"));
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"-" + oldKey, "+" + rigVariable("RIG_HIDRAW")}));

  const auto state = ask<std::int64_t>([&](auto done) { device()->getState(done); });
  EXPECT_EQ(state.code, 0);
  EXPECT_EQ(state.value, 1);
}

// A firmware image of about 300 packets, the last one partial.
QByteArray firmwareImage(sim::FirmwareVersion version) {
  QByteArray payload(299 * 1010 + 500, '\0');
  for (int i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<char>(i * 31 + 7);
  }
  return sim::buildFirmwareImage(version, payload);
}

TEST_F(KernelHid, AFirmwareTransferRestartsTheCameraWithTheNewVersion) {
  const sim::FirmwareVersion newVersion{1, 2, 9};
  const QByteArray image = firmwareImage(newVersion);
  const std::weak_ptr<USBDevice> before = device();
  const std::string oldKey = device()->key();
  delegate->events.clear();

  Answer<int> outcome;
  device()->startUpgrade(image, [&outcome](std::int64_t code) {
    outcome = {code, 0, outcome.calls + 1};
  });
  ASSERT_TRUE(waitUntil([&] { return outcome.arrived(); }, std::chrono::minutes(4)));
  EXPECT_EQ(outcome.code, 0);

  // The camera restarts: it leaves the bus and comes back as a new device with the new version.
  ASSERT_TRUE(comesBack(before));
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"-" + oldKey, "+" + rigVariable("RIG_HIDRAW")}));
  const auto version =
      ask<std::optional<std::string>>([&](auto done) { device()->getVersion(done); });
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.value, newVersion.text());
  const auto state = ask<std::int64_t>([&](auto done) { device()->getState(done); });
  EXPECT_EQ(state.value, 1);
}

TEST_F(KernelHid, ACameraLostMidTransferReturnsFailedAndASecondTransferRepairsIt) {
  sim::SimFaults faults;
  faults.detachAfterPacket = 150;
  rig.camera.setFaults(faults);
  std::weak_ptr<USBDevice> before = device();
  delegate->events.clear();

  // Gone without an answer: the transfer reports nothing, the manager sees the camera leave.
  bool cutOff = false;
  device()->startUpgrade(firmwareImage({2, 0, 0}), [&cutOff](std::int64_t) { cutOff = true; });
  ASSERT_TRUE(comesBack(before));
  sim::test::settle();
  EXPECT_FALSE(cutOff);
  EXPECT_EQ(delegate->events.size(), 2u);
  rig.camera.setFaults({});

  const auto failed = ask<std::int64_t>([&](auto done) { device()->getState(done); });
  EXPECT_EQ(failed.value, 2);  // half-written firmware

  before = device();
  EXPECT_EQ(askCode([&](auto done) { device()->startUpgrade(firmwareImage({2, 0, 1}), done); }),
            0);
  ASSERT_TRUE(comesBack(before));
  const auto repaired = ask<std::int64_t>([&](auto done) { device()->getState(done); });
  EXPECT_EQ(repaired.value, 1);
  const auto version =
      ask<std::optional<std::string>>([&](auto done) { device()->getVersion(done); });
  EXPECT_EQ(version.value, "2.0.1");
}

}  // namespace
}  // namespace vexhal::kernel::test
