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

INSTANTIATE_TEST_SUITE_P(
    Cameras, ImageModelLoad,
    ::testing::Values(
        LoadCase{"NothingStored",
                 P{Mode::custom, 100, 128, 150, 90},
                 std::nullopt,
                 {},
                 P{Mode::standard, 100, 128, 150, 90}},
        LoadCase{"OutOfRangeCorrectedInOrder",
                 P{Mode::standard, 60, 200, 128, 0},
                 std::nullopt,
                 {{Control::brightness, 78}, {Control::contrast, 178}, {Control::sharpness, 78}},
                 P{Mode::standard, 78, 178, 128, 78}},
        LoadCase{
            "StoredValuesSentWhereTheyDiffer",
            P{Mode::standard, 128, 128, 128, 128},
            P{Mode::vivid, 130, 128, 140, 120},
            {{Control::brightness, 130}, {Control::saturation, 140}, {Control::sharpness, 120}},
            P{Mode::vivid, 130, 128, 140, 120}},
        LoadCase{"StoredOutOfRangeSentThenCorrected",
                 P{Mode::standard, 128, 128, 128, 128},
                 P{Mode::custom, 190, 128, 128, 128},
                 {{Control::brightness, 190}, {Control::brightness, 178}},
                 P{Mode::custom, 178, 128, 128, 128}}),
    [](const auto& row) { return std::string(row.param.name); });

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

INSTANTIATE_TEST_SUITE_P(
    Actions, ImageModelAction,
    ::testing::Values(
        ActionCase{
            "BrightSendsNoContrast",
            [](M& m) { return chooseModeItem(m, 1); },
            {{Control::brightness, 138}, {Control::saturation, 130}, {Control::sharpness, 120}},
            P{Mode::bright, 138, 128, 130, 120}},
        ActionCase{"CustomSendsNothing",
                   [](M& m) { return chooseModeItem(m, 3); },
                   {},
                   P{Mode::custom, 128, 128, 128, 128}},
        ActionCase{"ItemPastTheLastIsCustom",
                   [](M& m) { return chooseModeItem(m, 9); },
                   {},
                   P{Mode::custom, 128, 128, 128, 128}},
        ActionCase{"VividAfterBrightSendsOnlyTheDifference",
                   [](M& m) {
                     chooseModeItem(m, 1);
                     return chooseModeItem(m, 2);
                   },
                   {{Control::brightness, 130}, {Control::saturation, 140}},
                   P{Mode::vivid, 130, 128, 140, 120}},
        ActionCase{"SliderReleasedWhereItStartedSendsNothing",
                   [](M& m) {
                     m.sliderMoving();
                     return m.sliderReleased(Control::contrast, 50);
                   },
                   {},
                   P{Mode::custom, 128, 128, 128, 128}},
        ActionCase{"SliderReleasedElsewhereSendsItsValue",
                   [](M& m) {
                     m.sliderMoving();
                     return m.sliderReleased(Control::sharpness, 0);
                   },
                   {{Control::sharpness, 78}},
                   P{Mode::custom, 128, 128, 128, 78}},
        ActionCase{"RestoreSendsTheBaselineButNoMode",
                   [](M& m) {
                     chooseModeItem(m, 2);
                     m.sliderReleased(Control::contrast, 100);
                     return m.restore();
                   },
                   {{Control::brightness, 128},
                    {Control::contrast, 128},
                    {Control::saturation, 128},
                    {Control::sharpness, 128}},
                   P{Mode::vivid, 128, 128, 128, 128}},
        ActionCase{
            "ResetToStandard",
            [](M& m) {
              chooseModeItem(m, 1);
              return m.resetParams(Mode::standard, P::preset(Mode::standard));
            },
            {{Control::brightness, 128}, {Control::saturation, 128}, {Control::sharpness, 128}},
            P::defaultParams()}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ImageModel, WithoutALoadEveryActionIsIgnored) {
  M model;
  EXPECT_TRUE(chooseModeItem(model, 1).empty());
  EXPECT_TRUE(model.sliderReleased(Control::brightness, 0).empty());
  EXPECT_TRUE(model.restore().empty());
  model.sliderMoving();
  model.markSaved();
  EXPECT_FALSE(model.isLoaded());
  EXPECT_FALSE(model.hasChanges());
}

}  // namespace
}  // namespace vexhal
