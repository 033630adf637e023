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
using M = QFunctionControlModel;
using P = QHIDParams;  // autoFraming, mode, frameMaster, angle, mirror, pickup

M loaded(const P& camera) {
  M model;
  model.beginLoad();
  for (const Field field : {Field::autoFraming, Field::autoFramingMode, Field::frameMaster,
                            Field::angle, Field::hMirror, Field::pickup}) {
    model.storeLoaded(field, fieldValue(camera, field));
  }
  return model;
}

const P kFactory = P::defaultParams();
const P kOffAt60{false, 0, false, 60, false, 50};
const P kPeopleBox{false, 0, true, 120, false, 50};

struct ActionCase {
  const char* name;
  P camera;
  std::function<Commands(M&)> action;
  Commands sent;
  P working;
};

class ModelAction : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ModelAction, SendsInOrderAndKeepsWhatWasAsked) {
  M model = loaded(GetParam().camera);
  EXPECT_EQ(GetParam().action(model), GetParam().sent);
  EXPECT_EQ(*model.changeCameraParams(), GetParam().working);
  EXPECT_EQ(*model.cameraParams(), GetParam().camera) << "the baseline stays until saved";
}

using F = Field;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Actions, ModelAction, ::testing::Values(
    ActionCase{"IntelligentOnFrom60SendsAngleFirst", kOffAt60,
               [](M& m) { return m.setIntelligent(true); },
               {{F::angle, 120}, {F::autoFraming, 1}}, P{true, 0, false, 120, false, 50}},
    ActionCase{"PeopleBoxComesBackAfterOffAndOn", kPeopleBox,
               [](M& m) {
                 Commands all = m.setIntelligent(false);
                 const Commands on = m.setIntelligent(true);
                 all.insert(all.end(), on.begin(), on.end());
                 return all;
               },
               {{F::frameMaster, 0}, {F::frameMaster, 1}}, kPeopleBox},
    ActionCase{"AutoFramingSwitchesPeopleBoxOffFirst", kPeopleBox,
               [](M& m) { return m.chooseAutoFraming(); },
               {{F::frameMaster, 0}, {F::autoFraming, 1}}, kFactory},
    ActionCase{"ResetOnFactoryValuesSendsNothing", kFactory, [](M& m) { return m.reset(); },
               {}, kFactory},
    ActionCase{"ResetSendsTrackingBeforeAngle", P{false, 1, true, 120, true, 80},
               [](M& m) {
                 m.setIntelligent(false);
                 m.chooseAngleItem(0);
                 return m.reset();
               },
               {{F::autoFraming, 1}, {F::autoFramingMode, 0}, {F::angle, 120}, {F::hMirror, 0},
                {F::pickup, 50}},
               kFactory},
    ActionCase{"RestoreAutoFramingSendsAngleAndStopsPeopleBoxFirst",
               P{true, 1, false, 90, false, 50},
               [](M& m) {
                 m.choosePeopleBox();
                 m.chooseAngleItem(2);
                 m.chooseFramingMode(0);
                 return m.restore();
               },
               {{F::angle, 90}, {F::frameMaster, 0}, {F::autoFraming, 1}, {F::autoFramingMode, 1}},
               P{true, 1, false, 90, false, 50}},
    ActionCase{"RestorePeopleBoxSendsAngleAndStopsAutoFramingFirst", kPeopleBox,
               [](M& m) {
                 m.chooseAutoFraming();
                 m.setMirror(true);
                 m.choosePickupItem(0);
                 return m.restore();
               },
               {{F::autoFraming, 0}, {F::frameMaster, 1}, {F::hMirror, 0}, {F::pickup, 50}},
               kPeopleBox},
    ActionCase{"AppliedRecordKeepsAutoFramingAndTheSelectorsItems", kOffAt60,
               [](M& m) { return m.applyParams(P{true, 7, true, 75, true, 0}); },
               {{F::angle, 120}, {F::autoFraming, 1}, {F::hMirror, 1}},
               P{true, 0, false, 120, true, 50}},
    ActionCase{"RestoreSwitchedOffIntelligenceLeavesAngleLast", kOffAt60,
               [](M& m) {
                 m.setIntelligent(true);
                 return m.restore();
               },
               {{F::autoFraming, 0}, {F::angle, 60}}, kOffAt60}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

// The load ends with the sixth answer, whichever read it is; a failed read answers with 0.
TEST(ModelLoad, EndsWhenAllSixReadsHaveAnsweredInAnyOrder) {
  M model;
  model.beginLoad();
  const std::array<Field, 6> order{Field::hMirror,     Field::angle,           Field::pickup,
                                   Field::frameMaster, Field::autoFramingMode, Field::autoFraming};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_TRUE(model.setIntelligent(false).empty()) << "no working copy yet: ignored";
    EXPECT_EQ(model.storeLoaded(order[i], 0), i + 1 == order.size()) << i;
    EXPECT_EQ(model.isLoaded(), i + 1 == order.size()) << i;
  }
  EXPECT_EQ(*model.changeCameraParams(), (P{false, 0, false, 0, false, 0}));
  EXPECT_EQ(loaded(kPeopleBox).lastTracking(), M::kTrackingPeopleBox);
  EXPECT_EQ(loaded(kFactory).lastTracking(), M::kTrackingAutoFraming);
}

}  // namespace
}  // namespace vexhal
