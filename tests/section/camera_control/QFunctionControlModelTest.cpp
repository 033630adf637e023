// The function page's rules: which set commands each action sends, in which order, and what the
// working copy then holds.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "section/camera_control/QFunctionControlModel.h"

namespace vexhal {
namespace {

using Field = QHIDSetting::Field;
using Commands = QFunctionControlModel::Commands;

QFunctionControlModel loaded(const QHIDParams& camera) {
  QFunctionControlModel model;
  model.beginLoad();
  for (const Field field : {Field::autoFraming, Field::autoFramingMode, Field::frameMaster,
                            Field::angle, Field::hMirror, Field::pickup}) {
    model.storeLoaded(field, fieldValue(camera, field));
  }
  return model;
}

QHIDParams params(bool autoFraming, std::int64_t mode, bool frameMaster, std::int64_t angle,
                  bool mirror, std::int64_t pickup) {
  return {autoFraming, mode, frameMaster, angle, mirror, pickup};
}

const QHIDParams kFactory = QHIDParams::defaultParams();
const QHIDParams kOffAt60 = params(false, 0, false, 60, false, 50);
const QHIDParams kPeopleBox = params(false, 0, true, 120, false, 50);

struct ActionCase {
  const char* name;
  QHIDParams camera;
  std::function<Commands(QFunctionControlModel&)> action;
  Commands sent;
  QHIDParams working;
};

class ModelAction : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ModelAction, SendsInOrderAndKeepsWhatWasAsked) {
  QFunctionControlModel model = loaded(GetParam().camera);
  EXPECT_EQ(GetParam().action(model), GetParam().sent);
  EXPECT_EQ(*model.changeCameraParams(), GetParam().working);
  EXPECT_EQ(*model.cameraParams(), GetParam().camera) << "the baseline stays until saved";
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ModelAction,
    ::testing::Values(
        ActionCase{"IntelligentOnFrom60SendsAngleFirst", kOffAt60,
                   [](QFunctionControlModel& m) { return m.setIntelligent(true); },
                   {{Field::angle, 120}, {Field::autoFraming, 1}},
                   params(true, 0, false, 120, false, 50)},
        ActionCase{"IntelligentOnAt120SendsOnlyTracking",
                   params(false, 1, false, 120, true, 30),
                   [](QFunctionControlModel& m) { return m.setIntelligent(true); },
                   {{Field::autoFraming, 1}}, params(true, 1, false, 120, true, 30)},
        ActionCase{"IntelligentOffStopsAutoFraming", kFactory,
                   [](QFunctionControlModel& m) { return m.setIntelligent(false); },
                   {{Field::autoFraming, 0}}, params(false, 0, false, 120, false, 50)},
        ActionCase{"PeopleBoxComesBackAfterOffAndOn", kPeopleBox,
                   [](QFunctionControlModel& m) {
                     Commands all = m.setIntelligent(false);
                     const Commands on = m.setIntelligent(true);
                     all.insert(all.end(), on.begin(), on.end());
                     return all;
                   },
                   {{Field::frameMaster, 0}, {Field::frameMaster, 1}}, kPeopleBox},
        ActionCase{"AutoFramingSwitchesPeopleBoxOffFirst", kPeopleBox,
                   [](QFunctionControlModel& m) { return m.chooseAutoFraming(); },
                   {{Field::frameMaster, 0}, {Field::autoFraming, 1}}, kFactory},
        ActionCase{"PeopleBoxSwitchesAutoFramingOffFirst", kFactory,
                   [](QFunctionControlModel& m) { return m.choosePeopleBox(); },
                   {{Field::autoFraming, 0}, {Field::frameMaster, 1}}, kPeopleBox},
        ActionCase{"SinglePersonMode", kFactory,
                   [](QFunctionControlModel& m) { return m.chooseFramingMode(1); },
                   {{Field::autoFramingMode, 1}}, params(true, 1, false, 120, false, 50)},
        ActionCase{"AngleItems", kOffAt60,
                   [](QFunctionControlModel& m) { return m.chooseAngleItem(1); },
                   {{Field::angle, 90}}, params(false, 0, false, 90, false, 50)},
        ActionCase{"PickupPastTheLastItemIsHigh", kFactory,
                   [](QFunctionControlModel& m) { return m.choosePickupItem(5); },
                   {{Field::pickup, 80}}, params(true, 0, false, 120, false, 80)},
        ActionCase{"Mirror", kFactory, [](QFunctionControlModel& m) { return m.setMirror(true); },
                   {{Field::hMirror, 1}}, params(true, 0, false, 120, true, 50)},
        ActionCase{"ResetOnFactoryValuesSendsNothing", kFactory,
                   [](QFunctionControlModel& m) { return m.reset(); }, {}, kFactory},
        ActionCase{"ResetSendsTrackingBeforeAngle", params(false, 1, true, 120, true, 80),
                   [](QFunctionControlModel& m) {
                     m.setIntelligent(false);
                     m.chooseAngleItem(0);
                     return m.reset();
                   },
                   {{Field::autoFraming, 1},
                    {Field::autoFramingMode, 0},
                    {Field::angle, 120},
                    {Field::hMirror, 0},
                    {Field::pickup, 50}},
                   kFactory},
        ActionCase{"RestoreWithoutChangesSendsNothing", kOffAt60,
                   [](QFunctionControlModel& m) { return m.restore(); }, {}, kOffAt60},
        ActionCase{"RestoreAutoFramingSendsAngleAndStopsPeopleBoxFirst",
                   params(true, 1, false, 90, false, 50),
                   [](QFunctionControlModel& m) {
                     m.choosePeopleBox();
                     m.chooseAngleItem(2);
                     m.chooseFramingMode(0);
                     return m.restore();
                   },
                   {{Field::angle, 90},
                    {Field::frameMaster, 0},
                    {Field::autoFraming, 1},
                    {Field::autoFramingMode, 1}},
                   params(true, 1, false, 90, false, 50)},
        ActionCase{"RestorePeopleBoxSendsAngleAndStopsAutoFramingFirst", kPeopleBox,
                   [](QFunctionControlModel& m) {
                     m.setIntelligent(false);
                     m.chooseAngleItem(0);
                     m.setIntelligent(true);  // people box again: back to 120
                     m.chooseAutoFraming();
                     m.setMirror(true);
                     m.choosePickupItem(0);
                     return m.restore();
                   },
                   {{Field::autoFraming, 0},
                    {Field::frameMaster, 1},
                    {Field::hMirror, 0},
                    {Field::pickup, 50}},
                   kPeopleBox},
        ActionCase{"RestoreSwitchedOffIntelligenceLeavesAngleLast", kOffAt60,
                   [](QFunctionControlModel& m) {
                     m.setIntelligent(true);
                     return m.restore();
                   },
                   {{Field::autoFraming, 0}, {Field::angle, 60}}, kOffAt60}),
    [](const auto& row) { return std::string(row.param.name); });

// The load ends with the sixth answer, whichever read it is; a failed read answers with 0.
TEST(ModelLoad, EndsWhenAllSixReadsHaveAnsweredInAnyOrder) {
  using Order = std::array<Field, 6>;
  for (const Order& order :
       {Order{Field::pickup, Field::autoFraming, Field::autoFramingMode, Field::frameMaster,
              Field::angle, Field::hMirror},
        Order{Field::hMirror, Field::angle, Field::pickup, Field::frameMaster,
              Field::autoFramingMode, Field::autoFraming}}) {
    QFunctionControlModel model;
    model.beginLoad();
    EXPECT_EQ(*model.cameraParams(), kFactory);
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_TRUE(model.setIntelligent(false).empty()) << "no working copy yet: ignored";
      EXPECT_EQ(model.storeLoaded(order[i], 0), i + 1 == order.size()) << i;
      EXPECT_EQ(model.isLoaded(), i + 1 == order.size()) << i;
    }
    EXPECT_EQ(*model.changeCameraParams(), params(false, 0, false, 0, false, 0));
    EXPECT_FALSE(model.hasChanges());
  }
}

TEST(ModelLoad, LastTrackingFollowsTheLoadedPeopleBox) {
  EXPECT_EQ(loaded(kPeopleBox).lastTracking(), QFunctionControlModel::kTrackingPeopleBox);
  EXPECT_EQ(loaded(kFactory).lastTracking(), QFunctionControlModel::kTrackingAutoFraming);
}

TEST(Model4K, NoticeOnlyWhenTheFlagTurnsOn) {
  QFunctionControlModel model;
  EXPECT_FALSE(model.updateCaptureInfo(false));
  EXPECT_TRUE(model.updateCaptureInfo(true));
  EXPECT_FALSE(model.updateCaptureInfo(true));
  model.clear4KCapturing();
  EXPECT_TRUE(model.updateCaptureInfo(true));
}

}  // namespace
}  // namespace vexhal
