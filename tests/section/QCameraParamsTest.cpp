#include <gtest/gtest.h>

#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QHIDParams.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {
namespace {

using Mode = QUVCParams::ImageMode;
namespace cp = cameraparams;

// Equality decides what is sent and what counts as unsaved: every field must take part.
TEST(Params, EqualityLooksAtEveryField) {
  const QHIDParams hid;
  for (const QHIDParams& other : std::vector<QHIDParams>{
           {false, 0, false, 120, false, 50}, {true, 1, false, 120, false, 50},
           {true, 0, true, 120, false, 50}, {true, 0, false, 90, false, 50},
           {true, 0, false, 120, true, 50}, {true, 0, false, 120, false, 80}}) {
    EXPECT_NE(hid, other);
  }
  EXPECT_EQ(hid, QHIDParams::defaultParams());
  EXPECT_FALSE((QHIDParams{false, 0, false, 120, false, 50}).isIntelligent());
  EXPECT_TRUE((QHIDParams{false, 0, true, 120, false, 50}).isIntelligent());

  const QUVCParams uvc;
  for (const QUVCParams& other : std::vector<QUVCParams>{
           {Mode::custom, 128, 128, 128, 128}, {Mode::standard, 129, 128, 128, 128},
           {Mode::standard, 128, 129, 128, 128}, {Mode::standard, 128, 128, 129, 128},
           {Mode::standard, 128, 128, 128, 129}}) {
    EXPECT_NE(uvc, other);
  }
  EXPECT_EQ(uvc, QUVCParams::defaultParams());
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
  EXPECT_EQ(QUVCParams::modeLabels().at(static_cast<qsizetype>(c.raw)), QString::fromUtf8(c.label));
  EXPECT_EQ(QUVCParams::preset(c.mode), c.values);
  EXPECT_EQ(cp::imageModeForItem(static_cast<int>(c.raw)), c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Preset,
    ::testing::Values(PresetCase{Mode::standard, 0, "Standard", {Mode::standard, 128, 128, 128, 128}},
                      PresetCase{Mode::bright, 1, "Bright", {Mode::bright, 138, 128, 130, 120}},
                      PresetCase{Mode::vivid, 2, "Vivid", {Mode::vivid, 130, 128, 140, 120}},
                      PresetCase{Mode::custom, 3, "Custom", {Mode::custom, 128, 128, 128, 128}}));

TEST(Preset, OnlyFourRawValuesNameAModeAndOtherItemsMeanCustom) {
  EXPECT_EQ(QUVCParams::modeLabels().size(), 4);
  for (const std::int64_t raw : {std::int64_t{4}, std::int64_t{-1}, std::numeric_limits<std::int64_t>::min()}) {
    EXPECT_EQ(QUVCParams::imageMode(raw), std::nullopt) << raw;
  }
  EXPECT_EQ(cp::imageModeForItem(4), Mode::custom);
  EXPECT_EQ(cp::imageModeForItem(-1), Mode::custom);
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

TEST(Slider, PositionMapsOntoTheCameraRangeAndBack) {
  EXPECT_EQ(cp::uvcValueForPosition(0), 78);
  EXPECT_EQ(cp::uvcValueForPosition(101), 178);
  EXPECT_EQ(cp::uvcValueForPosition(-3), 78);
  for (int p = 0; p <= 100; ++p) {
    EXPECT_EQ(cp::positionForUvcValue(cp::uvcValueForPosition(p)), p);
  }
}

// Each selector item sends its value, and a value read back selects its item; anything else
// read back selects the middle item (pickup) or the widest angle.
TEST(Selectors, ItemsSendTheirValuesAndValuesSelectTheirItems) {
  EXPECT_EQ(cp::angleItems(), (QStringList{"60°", "90°", "120°"}));
  EXPECT_EQ(cp::pickupItems(), (QStringList{"Low", "Medium", "High"}));
  const std::int64_t angles[] = {60, 90, 120};
  const std::int64_t pickups[] = {30, 50, 80};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cp::angleForItem(i), angles[i]);
    EXPECT_EQ(cp::itemForAngle(angles[i]), i);
    EXPECT_EQ(cp::pickupForItem(i), pickups[i]);
    EXPECT_EQ(cp::itemForPickup(pickups[i]), i);
  }
  EXPECT_EQ(cp::angleForItem(5), 120);
  EXPECT_EQ(cp::angleForItem(-1), 60);
  EXPECT_EQ(cp::pickupForItem(3), 80);
  for (const std::int64_t odd : {0, 61, 75}) EXPECT_EQ(cp::itemForAngle(odd), 2) << odd;
  for (const std::int64_t odd : {0, 31, 100}) EXPECT_EQ(cp::itemForPickup(odd), 1) << odd;
}

}  // namespace
}  // namespace vexhal
