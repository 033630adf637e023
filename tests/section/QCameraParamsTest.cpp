#include <gtest/gtest.h>

#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QHIDParams.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {
namespace {

using Mode = QUVCParams::ImageMode;
namespace cp = cameraparams;

TEST(QHIDParams, DefaultRecordIsTheFactorySetting) {
  const QHIDParams params = QHIDParams::defaultParams();
  EXPECT_TRUE(params.autoFraming);
  EXPECT_EQ(params.autoFramingMode, 0);
  EXPECT_FALSE(params.frameMaster);
  EXPECT_EQ(params.angle, 120);
  EXPECT_FALSE(params.hMirror);
  EXPECT_EQ(params.pickup, 50);
  EXPECT_TRUE(params.isIntelligent());
}

TEST(QHIDParams, EqualityLooksAtEveryField) {
  const QHIDParams base;
  const std::vector<QHIDParams> changed{
      {false, 0, false, 120, false, 50}, {true, 1, false, 120, false, 50},
      {true, 0, true, 120, false, 50},   {true, 0, false, 90, false, 50},
      {true, 0, false, 120, true, 50},   {true, 0, false, 120, false, 80}};
  for (const QHIDParams& other : changed) {
    EXPECT_NE(base, other);
  }
  EXPECT_EQ(base, (QHIDParams{true, 0, false, 120, false, 50}));
  EXPECT_FALSE((QHIDParams{false, 0, false, 120, false, 50}).isIntelligent());
  EXPECT_TRUE((QHIDParams{false, 0, true, 120, false, 50}).isIntelligent());
}

TEST(QUVCParams, EqualityLooksAtEveryField) {
  const QUVCParams base;
  const std::vector<QUVCParams> changed{{Mode::custom, 128, 128, 128, 128},
                                        {Mode::standard, 129, 128, 128, 128},
                                        {Mode::standard, 128, 129, 128, 128},
                                        {Mode::standard, 128, 128, 129, 128},
                                        {Mode::standard, 128, 128, 128, 129}};
  for (const QUVCParams& other : changed) {
    EXPECT_NE(base, other);
  }
  EXPECT_EQ(base, QUVCParams::defaultParams());
  EXPECT_EQ(base, QUVCParams::preset(Mode::standard));
}

struct PresetCase {
  Mode mode;
  std::int64_t raw;
  const char* label;
  QUVCParams values;
};

class Preset : public ::testing::TestWithParam<PresetCase> {};

TEST_P(Preset, HasItsRawValueLabelAndValues) {
  const PresetCase& c = GetParam();
  EXPECT_EQ(QUVCParams::rawValue(c.mode), c.raw);
  EXPECT_EQ(QUVCParams::imageMode(c.raw), c.mode);
  EXPECT_EQ(QUVCParams::label(c.mode), QString::fromUtf8(c.label));
  EXPECT_EQ(QUVCParams::modeLabels().at(static_cast<qsizetype>(c.raw)), QString::fromUtf8(c.label));
  EXPECT_EQ(QUVCParams::preset(c.mode), c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Preset,
    ::testing::Values(PresetCase{Mode::standard, 0, "Standard", {Mode::standard, 128, 128, 128, 128}},
                      PresetCase{Mode::bright, 1, "Bright", {Mode::bright, 138, 128, 130, 120}},
                      PresetCase{Mode::vivid, 2, "Vivid", {Mode::vivid, 130, 128, 140, 120}},
                      PresetCase{Mode::custom, 3, "Custom", {Mode::custom, 128, 128, 128, 128}}));

TEST(QUVCParams, OnlyFourRawValuesNameAMode) {
  EXPECT_EQ(QUVCParams::modeLabels().size(), 4);
  for (const std::int64_t raw : {std::int64_t{4}, std::int64_t{7}, std::int64_t{-1},
                                 std::numeric_limits<std::int64_t>::min()}) {
    EXPECT_EQ(QUVCParams::imageMode(raw), std::nullopt) << raw;
  }
}

struct SliderCase {
  std::int64_t value;
  int position;
  const char* label;
};

class Slider : public ::testing::TestWithParam<SliderCase> {};

TEST_P(Slider, ShowsTheCameraValueAsPositionAndLabel) {
  const SliderCase& c = GetParam();
  EXPECT_EQ(cp::positionForUvcValue(c.value), c.position);
  EXPECT_EQ(cp::positionLabel(c.position), QString::fromUtf8(c.label));
}

INSTANTIATE_TEST_SUITE_P(
    Values, Slider,
    ::testing::Values(SliderCase{78, 0, "0"}, SliderCase{79, 1, "1%"}, SliderCase{128, 50, "50%"},
                      SliderCase{177, 99, "99%"}, SliderCase{178, 100, "100%"},
                      SliderCase{200, 100, "100%"}, SliderCase{60, 0, "0"},
                      SliderCase{std::numeric_limits<std::int64_t>::min(), 0, "0"},
                      SliderCase{std::numeric_limits<std::int64_t>::max(), 100, "100%"}));

TEST(Slider, PositionMapsOntoTheCameraRange) {
  EXPECT_EQ(cp::uvcValueOffset, 78);
  EXPECT_EQ(cp::uvcValueForPosition(0), 78);
  EXPECT_EQ(cp::uvcValueForPosition(50), 128);
  EXPECT_EQ(cp::uvcValueForPosition(100), 178);
  EXPECT_EQ(cp::uvcValueForPosition(101), 178);
  EXPECT_EQ(cp::uvcValueForPosition(-3), 78);
  for (int p = 0; p <= 100; ++p) {
    EXPECT_EQ(cp::positionForUvcValue(cp::uvcValueForPosition(p)), p);
  }
}

TEST(ModeSelector, ItemsPastTheLastModeMeanCustom) {
  EXPECT_EQ(cp::imageModeForItem(0), Mode::standard);
  EXPECT_EQ(cp::imageModeForItem(1), Mode::bright);
  EXPECT_EQ(cp::imageModeForItem(2), Mode::vivid);
  EXPECT_EQ(cp::imageModeForItem(3), Mode::custom);
  EXPECT_EQ(cp::imageModeForItem(4), Mode::custom);
  EXPECT_EQ(cp::imageModeForItem(-1), Mode::custom);
}

struct SelectorCase {
  std::int64_t value;
  int item;
};

class AngleReadBack : public ::testing::TestWithParam<SelectorCase> {};
TEST_P(AngleReadBack, SelectsItsItem) {
  EXPECT_EQ(cp::itemForAngle(GetParam().value), GetParam().item) << GetParam().value;
}
INSTANTIATE_TEST_SUITE_P(Angles, AngleReadBack,
                         ::testing::Values(SelectorCase{60, 0}, SelectorCase{90, 1},
                                           SelectorCase{120, 2}, SelectorCase{75, 2},
                                           SelectorCase{0, 2}, SelectorCase{61, 2}));

class PickupReadBack : public ::testing::TestWithParam<SelectorCase> {};
TEST_P(PickupReadBack, SelectsItsItem) {
  EXPECT_EQ(cp::itemForPickup(GetParam().value), GetParam().item) << GetParam().value;
}
INSTANTIATE_TEST_SUITE_P(Pickups, PickupReadBack,
                         ::testing::Values(SelectorCase{30, 0}, SelectorCase{50, 1},
                                           SelectorCase{80, 2}, SelectorCase{0, 1},
                                           SelectorCase{31, 1}, SelectorCase{100, 1}));

TEST(Selectors, ItemsSendTheirValuesAndReadBackToThemselves) {
  EXPECT_EQ(cp::angleItems(), (QStringList{"60°", "90°", "120°"}));
  EXPECT_EQ(cp::pickupItems(), (QStringList{"Low", "Medium", "High"}));
  const std::int64_t angles[] = {60, 90, 120};
  const std::int64_t pickups[] = {30, 50, 80};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cp::angleForItem(i), angles[i]);
    EXPECT_EQ(cp::itemForAngle(cp::angleForItem(i)), i);
    EXPECT_EQ(cp::pickupForItem(i), pickups[i]);
    EXPECT_EQ(cp::itemForPickup(cp::pickupForItem(i)), i);
  }
  EXPECT_EQ(cp::angleForItem(5), 120);  // past the last item: the widest angle
  EXPECT_EQ(cp::angleForItem(-1), 60);
  EXPECT_EQ(cp::pickupForItem(3), 80);
}

}  // namespace
}  // namespace vexhal
