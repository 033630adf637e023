// The settings keeper's rules as one table, over the virtual camera's control channel and watch
// (another client of the camera plays the other program) and a hand-driven clock.
#include "section/camera_control/QSettingsKeeper.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "SimUvcTransportFactory.h"
#include "common/EventLoop.h"
#include "logkit/MemoryLog.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const auto kLocation = static_cast<std::uint32_t>(sim::VirtualCameraIdentity().locationId);
const std::string kSerial = "VX1";

// Runs the tasks given to its scheduler when the test moves time on.
struct ManualClock {
  std::int64_t now = 0;
  std::multimap<std::int64_t, std::function<void()>> tasks;

  Scheduler scheduler() {
    return [this](QObject*, int ms, std::function<void()> task) {
      tasks.emplace(now + ms, std::move(task));
    };
  }
  void advance(milliseconds by) {
    const std::int64_t end = now + by.count();
    while (!tasks.empty() && tasks.begin()->first <= end) {
      now = tasks.begin()->first;
      auto task = std::move(tasks.begin()->second);
      tasks.erase(tasks.begin());
      task();
    }
    now = end;
  }
};

// A plugged-in camera with a stored record (brightness 150, contrast 120, saturation 110,
// sharpness 100), the keeper, and what it logged and reported.
struct KeeperRig {
  KeeperRig() {
    test::ensureCoreApplication();
    store(150);
    camera.plug();
  }
  void store(std::int64_t brightness) {
    EXPECT_TRUE(dataBase.setUVCParams({QUVCParams::ImageMode::custom, brightness, 120, 110, 100},
                                      QString::fromStdString(kSerial)));
  }
  void arrive() { keeper.cameraArrived(kLocation, kSerial); }
  std::int64_t value(const UVCControlInfo& control) { return *camera.uvcControls().value(control); }
  // Another client of the camera sets `control`; its change event reaches the keeper.
  void change(const UVCControlInfo& control, std::int32_t v) {
    EXPECT_TRUE(UVCCameraControl(kLocation, factory).setValue(v, control));
    test::pumpEvents();
  }
  // Another program moves brightness away, and `after` passes.
  void fight(milliseconds after = QSettingsKeeper::kSettleDelay, std::int32_t to = 90) {
    change(kUvcBrightness, to);
    clock.advance(after);
  }

  ostrane::test::LogCapture log;
  QTemporaryDir dir;
  QDataBase dataBase{dir.filePath(QStringLiteral("settings.ini"))};
  sim::VirtualCamera camera{{kSerial}};
  sim::SimUvcTransportFactory factory{{&camera}};
  ManualClock clock;
  QSettingsKeeper keeper{factory, clock.scheduler(), dataBase};
  QSignalSpy refused{&keeper, &QSettingsKeeper::valueRefused};
  QSignalSpy gaveUp{&keeper, &QSettingsKeeper::gaveUp};
  QSignalSpy missing{&keeper, &QSettingsKeeper::channelMissing};
};

struct KeeperCase {
  const char* name;
  std::function<void(KeeperRig&)> steps;
  std::int64_t brightness;  // on the camera at the end
  std::size_t restores;     // log lines
  QVariantList refused;     // the one refusal's storage key, control, wanted and got
  int gaveUp;
};

// clang-format off
const KeeperCase kCases[] = {
    {"RecordAppliedWhenTheChannelIsOpen", [](auto& r) {
       r.arrive();
       EXPECT_EQ(r.value(kUvcContrast) + r.value(kUvcSaturation) + r.value(kUvcSharpness), 330);
     }, 150, 0, {}, 0},
    {"RecordAppliedWhenTheChannelOpensLater", [](auto& r) {
       r.camera.unplug();
       r.arrive();
       r.clock.advance(QSettingsKeeper::kChannelRetryInterval * 3);
       r.camera.plug();
       r.clock.advance(QSettingsKeeper::kChannelRetryInterval);
     }, 150, 0, {}, 0},
    {"AChannelThatNeverOpensIsGivenUpOn", [](auto& r) {
       r.camera.unplug();
       r.arrive();
       r.clock.advance(QSettingsKeeper::kChannelRetryInterval * (QSettingsKeeper::kChannelRetries + 1));
       r.camera.plug();
       r.clock.advance(std::chrono::minutes(1));
       EXPECT_EQ(r.missing.size(), 1);
     }, 128, 0, {}, 0},
    {"AClampedValueIsReportedAndThenHeld", [](auto& r) {
       r.store(200);
       r.arrive();
       test::pumpEvents();
       r.clock.advance(QSettingsKeeper::kSettleDelay);
     }, 178, 0, {"VX1", "brightness", 200, 178}, 0},
    {"TheProgramsOwnChangeIsNotRevertedUntilItReturnsToTheRecord", [](auto& r) {
       r.arrive();
       r.keeper.holdTo(kLocation, {QUVCParams::ImageMode::custom, 140, 120, 110, 100});
       r.change(kUvcBrightness, 140);
       r.clock.advance(QSettingsKeeper::kSettleDelay);
       EXPECT_EQ(r.value(kUvcBrightness), 140);
       r.keeper.holdToRecord(kLocation);
       r.fight();
     }, 150, 1, {}, 0},
    {"SeveralEventsWithinTheSettleDelayGiveOneRestoreEach", [](auto& r) {
       r.arrive();
       for (const std::int32_t v : {80, 95, 90}) r.change(kUvcBrightness, v);
       r.change(kUvcSharpness, 128);
       r.change(kUvcContrast, 80);
       r.change(kUvcContrast, 120);  // back where it is held
       r.clock.advance(QSettingsKeeper::kSettleDelay - milliseconds(1));
       EXPECT_EQ(r.value(kUvcBrightness), 90);
       r.clock.advance(milliseconds(1));
       EXPECT_EQ(r.value(kUvcSharpness), 100);
       EXPECT_EQ(r.log.count("Settings, restored brightness 150 on VX1 (was 90, changed by another program)"), 1u);
     }, 150, 2, {}, 0},
    {"AFightIsGivenUpAfterTheLimitAndSaidOnceUntilPluggedInAgain", [](auto& r) {
       r.arrive();
       for (int i = 0; i < 6; ++i) r.fight(QSettingsKeeper::kSettleDelay, 90 + i);
       EXPECT_EQ(r.value(kUvcBrightness), 95);
       r.arrive();
       r.fight();
     }, 150, 4, {}, 1},
    {"ChangesFurtherApartThanTheWindowAreEachRestored", [](auto& r) {
       r.arrive();
       for (int i = 0; i < 5; ++i) r.fight(seconds(11));
     }, 150, 5, {}, 0},
    {"SwitchedOffInTheStoreNothingIsRestored", [](auto& r) {
       EXPECT_TRUE(r.dataBase.setKeepsImageSettings(QString::fromStdString(kSerial), false));
       r.arrive();
       r.fight();
     }, 90, 0, {}, 0},
    {"AWakeUpSendsTheHeldValuesAtOnce", [](auto& r) {
       r.arrive();
       r.change(kUvcBrightness, 90);
       r.keeper.reapplyAll();
       EXPECT_EQ(r.value(kUvcBrightness), 150);
       r.clock.advance(QSettingsKeeper::kSettleDelay);
     }, 150, 0, {}, 0},
    {"UnpluggedDuringTheSettleDelayNothingIsSent", [](auto& r) {
       r.arrive();
       r.change(kUvcBrightness, 90);
       r.keeper.cameraRemoved(kLocation);
       r.clock.advance(QSettingsKeeper::kFightWindow);
     }, 90, 0, {}, 0},
};
// clang-format on

TEST(QSettingsKeeperTest, Rules) {
  for (const KeeperCase& c : kCases) {
    SCOPED_TRACE(c.name);
    KeeperRig rig;
    c.steps(rig);
    EXPECT_EQ(rig.value(kUvcBrightness), c.brightness);
    EXPECT_EQ(rig.log.count("Settings, restored"), c.restores);
    EXPECT_EQ(rig.refused.value(0), c.refused);
    EXPECT_EQ(rig.refused.size() + rig.gaveUp.size(), (c.refused.empty() ? 0 : 1) + c.gaveUp);
  }
}

}  // namespace
}  // namespace vexhal
