// The image page's rules: what loading corrects on the camera, what presets, sliders and
// restoring send, and what the working copy then holds.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QImageControlModel.h"

namespace vexhal {
namespace {

using Control = QUVCSetting::Control;
using Mode = QUVCParams::ImageMode;
using Commands = QImageControlModel::Commands;
using M = QImageControlModel;
using P = QUVCParams;  // mode, brightness, contrast, saturation, sharpness

// A mode chosen on the selector (any item past the last mode is custom), as the page applies it.
Commands chooseModeItem(M& model, int item) {
  const Mode mode = cameraparams::imageModeForItem(item);
  return model.resetParams(mode, P::preset(mode));
}

struct LoadCase {
  const char* name;
  P read;
  std::optional<P> stored;
  Commands sent;
  P baseline;
};

class ImageModelLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ImageModelLoad, OverlaysTheStoredRecordAndCorrectsTheRange) {
  M model;
  EXPECT_EQ(model.load(GetParam().read, GetParam().stored), GetParam().sent);
  EXPECT_EQ(*model.cameraParams(), GetParam().baseline);
  EXPECT_EQ(*model.changeCameraParams(), GetParam().baseline);
}

using C = Control;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cameras, ImageModelLoad, ::testing::Values(
    LoadCase{"NothingStored", P{Mode::custom, 100, 128, 150, 90}, std::nullopt,
             {}, P{Mode::standard, 100, 128, 150, 90}},
    LoadCase{"OutOfRangeCorrectedInOrder", P{Mode::standard, 60, 200, 128, 0}, std::nullopt,
             {{C::brightness, 78}, {C::contrast, 178}, {C::sharpness, 78}},
             P{Mode::standard, 78, 178, 128, 78}},
    LoadCase{"StoredValuesSentWhereTheyDiffer", P::defaultParams(),
             P{Mode::vivid, 130, 128, 140, 120},
             {{C::brightness, 130}, {C::saturation, 140}, {C::sharpness, 120}},
             P{Mode::vivid, 130, 128, 140, 120}},
    LoadCase{"StoredOutOfRangeSentThenCorrected", P::defaultParams(),
             P{Mode::custom, 190, 128, 128, 128},
             {{C::brightness, 190}, {C::brightness, 178}}, P{Mode::custom, 178, 128, 128, 128}}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

struct ActionCase {
  const char* name;
  std::function<Commands(M&)> action;
  Commands sent;
  P working;
};

class ImageModelAction : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ImageModelAction, SendsOnlyWhatChanges) {
  M model;
  model.load(P::defaultParams(), std::nullopt);
  EXPECT_EQ(GetParam().action(model), GetParam().sent);
  EXPECT_EQ(*model.changeCameraParams(), GetParam().working);
  EXPECT_EQ(*model.cameraParams(), P::defaultParams());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Actions, ImageModelAction, ::testing::Values(
    ActionCase{"BrightSendsNoContrast", [](M& m) { return chooseModeItem(m, 1); },
               {{C::brightness, 138}, {C::saturation, 130}, {C::sharpness, 120}},
               P{Mode::bright, 138, 128, 130, 120}},
    ActionCase{"CustomAndItemsPastItSendNothing", [](M& m) { return chooseModeItem(m, 9); },
               {}, P{Mode::custom, 128, 128, 128, 128}},
    ActionCase{"VividAfterBrightSendsOnlyTheDifference",
               [](M& m) {
                 chooseModeItem(m, 1);
                 return chooseModeItem(m, 2);
               },
               {{C::brightness, 130}, {C::saturation, 140}}, P{Mode::vivid, 130, 128, 140, 120}},
    ActionCase{"SliderReleasedWhereItStartedSendsNothing",
               [](M& m) {
                 m.sliderMoving();
                 return m.sliderReleased(C::contrast, 50);
               },
               {}, P{Mode::custom, 128, 128, 128, 128}},
    ActionCase{"RestoreSendsTheBaselineButNoMode",
               [](M& m) {
                 chooseModeItem(m, 2);
                 m.sliderReleased(C::contrast, 100);
                 return m.restore();
               },
               {{C::brightness, 128}, {C::contrast, 128}, {C::saturation, 128},
                {C::sharpness, 128}},
               P{Mode::vivid, 128, 128, 128, 128}}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

// The further controls travel in both copies: a change counts as unsaved until saved, restore
// sends the baseline back, and a key the camera lacks is never sent.
TEST(ImageModelFurther, ChangesCountUntilSavedAndRestoreSendsTheBaseline) {
  using F = M::FurtherCommands;
  M model;
  EXPECT_EQ(model.setFurther({{"gain", 5}}), F{}) << "nothing before the load";
  model.load(P::defaultParams(), std::nullopt,
             {{"gain", {10, 0, 100, 1, 10}}, {"auto-exposure", {3, 0, 3, 1, 3}}});
  EXPECT_EQ(model.setFurther({{"gain", 40}, {"focus", 7}, {"auto-exposure", 3}}),
            (F{{"gain", 40}}));
  EXPECT_TRUE(model.hasChanges());
  EXPECT_EQ(model.changeCameraParams()->mode, Mode::standard) << "not an image mode's business";
  EXPECT_EQ(model.restoreFurther(), (F{{"gain", 10}}));
  EXPECT_FALSE(model.hasChanges());
  model.setFurther({{"gain", 60}});
  model.markSaved();
  EXPECT_FALSE(model.hasChanges());
  EXPECT_EQ(model.cameraParams()->further.at("gain").value, 60);
  EXPECT_EQ(model.restoreFurther(), F{});
}

// Values from a preset make the mode custom and stay within the page's range.
TEST(ImageModelFurther, AppliedValuesAreCustomAndWithinRange) {
  M model;
  model.load(P::defaultParams(), std::nullopt);
  EXPECT_EQ(model.applyValues(P{Mode::vivid, 200, 128, 50, 150}),
            (Commands{{C::brightness, 178}, {C::saturation, 78}, {C::sharpness, 150}}));
  EXPECT_EQ(*model.changeCameraParams(), (P{Mode::custom, 178, 128, 78, 150}));
}

}  // namespace
}  // namespace vexhal
