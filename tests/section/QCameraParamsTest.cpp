// How the pages show camera values: slider positions and labels, selector items.
#include <gtest/gtest.h>

#include <limits>

#include "section/camera_control/QCameraParamsMapping.h"

namespace vexhal {
namespace {

namespace cp = cameraparams;
using Limits = std::numeric_limits<std::int64_t>;

TEST(Slider, ShowsTheCameraValueAsPositionAndLabelClampedToTheRange) {
  const struct {
    std::int64_t value;
    int position;
    const char* label;
  } rows[] = {
      {78, 0, "0"},       {79, 1, "1%"}, {128, 50, "50%"},        {178, 100, "100%"},
      {200, 100, "100%"}, {60, 0, "0"},  {Limits::min(), 0, "0"}, {Limits::max(), 100, "100%"}};
  for (const auto& row : rows) {
    EXPECT_EQ(cp::positionForUvcValue(row.value), row.position) << row.value;
    EXPECT_EQ(cp::positionLabel(row.position), QString::fromUtf8(row.label)) << row.value;
  }
  EXPECT_EQ(cp::uvcValueForPosition(101), 178);
  EXPECT_EQ(cp::uvcValueForPosition(-3), 78);
  for (int p = 0; p <= 100; ++p) EXPECT_EQ(cp::positionForUvcValue(cp::uvcValueForPosition(p)), p);
}

// A value read back selects its item; anything else selects the middle pickup or the widest angle.
TEST(Selectors, ValuesSelectTheirItemsAndOddValuesADefault) {
  const std::int64_t angles[] = {60, 90, 120};
  const std::int64_t pickups[] = {30, 50, 80};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cp::itemForAngle(cp::angleForItem(i)), i);
    EXPECT_EQ(cp::itemForAngle(angles[i]), i);
    EXPECT_EQ(cp::itemForPickup(pickups[i]), i);
  }
  EXPECT_EQ(cp::angleForItem(5), 120);
  EXPECT_EQ(cp::angleForItem(-1), 60);
  for (const std::int64_t odd : {0, 61, 75}) EXPECT_EQ(cp::itemForAngle(odd), 2) << odd;
  for (const std::int64_t odd : {0, 31, 100}) EXPECT_EQ(cp::itemForPickup(odd), 1) << odd;
}

}  // namespace
}  // namespace vexhal
