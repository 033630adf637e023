// The settings keeper's rules as tables, over the virtual camera's control channel and watch
// (another client of the camera plays the other program), a hand-made set of further controls,
// and a hand-driven clock.
#include "section/camera_control/QSettingsKeeper.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

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

// The virtual camera's channel and watch for the four, and, when `list` is not empty, further
// controls as a control set lists them. The test plays the other program by changing one and
// telling the watch, as the driver would.
struct FurtherFactory final : UVCTransportFactory {
  struct Set final : VideoControlSet {
    explicit Set(FurtherFactory& f) : factory(f) {}
    std::vector<VideoControl> enumerate() override { return factory.list; }
    int get(std::uint32_t id, std::int64_t& value) override {
      value = factory.at(id).value;
      return 0;
    }
    int set(std::uint32_t id, std::int64_t value) override {
      if (factory.stuck.count(id) == 0) factory.at(id).value = value;
      return 0;
    }
    FurtherFactory& factory;
  };
  struct Watch final : VideoControlWatch {
    bool isWatching() const override { return true; }
  };

  explicit FurtherFactory(UVCTransportFactory& s) : sim(s) {}
  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t id) override {
    return sim.openByLocation(id);
  }
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t v, std::uint16_t p) override {
    return sim.openByVendorProduct(v, p);
  }
  std::unique_ptr<UVCControlWatch> watchByLocation(std::uint32_t id,
                                                   UVCControlWatch::Listener l) override {
    return sim.watchByLocation(id, std::move(l));
  }
  std::unique_ptr<VideoControlSet> openControlsByLocation(std::uint32_t) override {
    return list.empty() ? nullptr : std::make_unique<Set>(*this);
  }
  std::unique_ptr<VideoControlWatch> watchControlsByLocation(
      std::uint32_t, const std::vector<std::uint32_t>&, VideoControlWatch::Listener l) override {
    listener = std::move(l);
    return std::make_unique<Watch>();
  }

  VideoControl& at(std::uint32_t id) {
    return *std::find_if(list.begin(), list.end(), [id](const auto& c) { return c.id == id; });
  }
  void change(std::uint32_t id, std::int64_t v, bool inactive = false) {
    const bool flagsChanged = at(id).inactive != inactive;
    at(id).value = v;
    at(id).inactive = inactive;
    listener({id, v, inactive, false, true, flagsChanged});
  }

  UVCTransportFactory& sim;
  std::vector<VideoControl> list;
  std::set<std::uint32_t> stuck;  // the camera ignores sets of these
  VideoControlWatch::Listener listener;
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
  std::int64_t watched() { return value(kUvcBrightness); }
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
  FurtherFactory withFurther{factory};
  ManualClock clock;
  QSettingsKeeper keeper{withFurther, clock.scheduler(), dataBase};
  QSignalSpy refused{&keeper, &QSettingsKeeper::valueRefused};
  QSignalSpy gaveUp{&keeper, &QSettingsKeeper::gaveUp};
  QSignalSpy missing{&keeper, &QSettingsKeeper::channelMissing};
};

// One case of a table: the steps, then the watched control's value on the camera, the restores
// logged, the one refusal's storage key, control, wanted and got, and whether the keeper gave up.
template <typename Rig>
struct KeeperCase {
  const char* name;
  std::function<void(Rig&)> steps;
  std::int64_t value;
  std::size_t restores;
  QVariantList refused;
  int gaveUp;
};

template <typename Rig, std::size_t N>
void runCases(const KeeperCase<Rig> (&cases)[N]) {
  for (const KeeperCase<Rig>& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.steps(rig);
    EXPECT_EQ(rig.watched(), c.value);
    EXPECT_EQ(rig.log.count("Settings, restored"), c.restores);
    EXPECT_EQ(rig.refused.value(0), c.refused);
    EXPECT_EQ(rig.refused.size() + rig.gaveUp.size(), (c.refused.empty() ? 0 : 1) + c.gaveUp);
  }
}

// clang-format off
const KeeperCase<KeeperRig> kCases[] = {
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

TEST(QSettingsKeeperTest, Rules) { runCases(kCases); }

VideoControl further(std::uint32_t id, const char* key, VideoControl::Type type, std::int64_t max) {
  VideoControl c;
  c.id = id;
  c.key = key;
  c.type = type;
  c.maximum = max;
  c.menu = {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}};
  return c;
}

// The record holds gain 40 of 0..100 (this camera's gain goes to 200), manual exposure at 300
// and a focus the camera lacks.
struct FurtherRig : KeeperRig {
  FurtherRig() {
    using Type = VideoControl::Type;
    withFurther.list = {
        further(V4L2_CID_GAIN, "gain", Type::integer, 200),
        further(V4L2_CID_EXPOSURE_ABSOLUTE, "exposure-time-absolute", Type::integer, 2047),
        further(V4L2_CID_EXPOSURE_AUTO, "auto-exposure", Type::menu, 3)};
    std::map<std::string, QControlValue> record{{"gain", {40, 0, 100, 1, 50}},
                                                {"auto-exposure", {1, 0, 3, 1, 3}},
                                                {"exposure-time-absolute", {300, 0, 2047, 1, 250}},
                                                {"focus-absolute", {10, 0, 100, 1, 0}}};
    EXPECT_TRUE(dataBase.setUVCParams({QUVCParams::ImageMode::custom, 150, 120, 110, 100, record},
                                      QString::fromStdString(kSerial)));
  }
  std::int64_t value(std::uint32_t id) { return withFurther.at(id).value; }
  std::int64_t watched() { return value(V4L2_CID_GAIN); }
  void change(std::uint32_t id, std::int64_t v, bool inactive = false) {
    withFurther.change(id, v, inactive);
    clock.advance(QSettingsKeeper::kSettleDelay);
  }
};

// clang-format off
const KeeperCase<FurtherRig> kFurtherCases[] = {
    {"FittedToTheCameraAndSentAfterTheFour", [](auto& r) {
       r.arrive();
       EXPECT_EQ(r.value(V4L2_CID_EXPOSURE_ABSOLUTE), 300);
       EXPECT_EQ(r.log.count("Settings, VX1, gain: 40 was scaled to 80 for this camera's range"), 1u);
       EXPECT_EQ(r.log.count("Settings, VX1, focus-absolute: 10 was skipped"), 1u);
     }, 80, 0, {}, 0},
    {"AControlItsAutomaticModeOwnsIsLeftToItUntilFreed", [](auto& r) {
       r.arrive();
       r.withFurther.change(V4L2_CID_EXPOSURE_AUTO, 3);
       r.change(V4L2_CID_EXPOSURE_ABSOLUTE, 500, true);
       EXPECT_EQ(r.value(V4L2_CID_EXPOSURE_AUTO), 1);
       EXPECT_EQ(r.value(V4L2_CID_EXPOSURE_ABSOLUTE), 500);
       r.change(V4L2_CID_EXPOSURE_ABSOLUTE, 500);
       EXPECT_EQ(r.value(V4L2_CID_EXPOSURE_ABSOLUTE), 300);
     }, 80, 2, {}, 0},
    {"AValueTheCameraIgnoresIsReportedAndHeld", [](auto& r) {
       r.withFurther.stuck.insert(V4L2_CID_GAIN);
       r.arrive();
       r.change(V4L2_CID_EXPOSURE_ABSOLUTE, 0);
     }, 0, 1, {"VX1", "gain", 80, 0}, 0},
    {"TheProgramsOwnFurtherValueIsHeld", [](auto& r) {
       r.arrive();
       QUVCParams held = *r.keeper.heldValues(kLocation);
       held.further["gain"].value = 120;
       r.keeper.holdTo(kLocation, held);
       r.change(V4L2_CID_GAIN, 120);
     }, 120, 0, {}, 0},
    {"AFightIsGivenUpAfterTheLimit", [](auto& r) {
       r.arrive();
       for (int i = 0; i < 5; ++i) r.change(V4L2_CID_GAIN, 10 + i);
       EXPECT_EQ(r.log.count("Settings, restored gain 80 on VX1 (was 12, changed by another program)"), 1u);
     }, 14, 3, {}, 1},
};
// clang-format on

TEST(QSettingsKeeperTest, FurtherControls) { runCases(kFurtherCases); }

}  // namespace
}  // namespace vexhal
