#include <gtest/gtest.h>

#include "video/VideoGeometry.h"

namespace vexhal::video {
namespace {

struct TargetCase {
  const char* name;
  QRtcViewMode mode;
  QSizeF content;
  QRectF area;
  QRectF expected;
};

class TargetRectTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TargetRectTest, PlacesThePicture) {
  const QRectF got = targetRect(GetParam().mode, GetParam().content, GetParam().area);
  const QRectF& want = GetParam().expected;
  EXPECT_NEAR(got.x(), want.x(), 0.01);
  EXPECT_NEAR(got.y(), want.y(), 0.01);
  EXPECT_NEAR(got.width(), want.width(), 0.01);
  EXPECT_NEAR(got.height(), want.height(), 0.01);
}

constexpr auto kFill = QRtcViewMode::scaleAspectFill;
constexpr auto kFit = QRtcViewMode::scaleAspectFit;
constexpr auto kStretch = QRtcViewMode::scaleToFill;
const QSizeF kHd(1920, 1080);
const QRectF kLandscape(0, 0, 400, 200);
const QRectF kPortrait(0, 0, 200, 400);

INSTANTIATE_TEST_SUITE_P(
    Modes, TargetRectTest,
    ::testing::Values(
        // Landscape area, wider picture: fill crops top and bottom, fit letter-boxes the sides.
        TargetCase{"FillLandscape", kFill, kHd, kLandscape, {0, -12.5, 400, 225}},
        TargetCase{"FitLandscape", kFit, kHd, kLandscape, {22.222, 0, 355.556, 200}},
        TargetCase{"StretchLandscape", kStretch, kHd, kLandscape, kLandscape},
        // Portrait area: fill crops the sides, fit leaves bands above and below.
        TargetCase{"FillPortrait", kFill, kHd, kPortrait, {-255.556, 0, 711.111, 400}},
        TargetCase{"FitPortrait", kFit, kHd, kPortrait, {0, 143.75, 200, 112.5}},
        TargetCase{"StretchPortrait", kStretch, kHd, kPortrait, kPortrait},
        // A taller picture in a landscape area, and an area away from the origin.
        TargetCase{"FitTallPicture", kFit, {480, 640}, kLandscape, {125, 0, 150, 200}},
        TargetCase{"FillTallPicture", kFill, {480, 640}, kLandscape, {0, -166.667, 400, 533.333}},
        TargetCase{"FitOffsetArea", kFit, {400, 400}, {50, 20, 400, 200}, {150, 20, 200, 200}},
        TargetCase{"SameAspect", kFill, kHd, {0, 0, 960, 540}, {0, 0, 960, 540}},
        TargetCase{"NoPicture", kFill, {0, 0}, kLandscape, {}},
        TargetCase{"NoArea", kFit, kHd, {0, 0, 0, 0}, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(AboutCentreTest, FlipsAboutTheAreaCentre) {
  const QTransform flip = QTransform::fromScale(-1, 1);
  EXPECT_EQ(aboutCentre(flip, {0, 0, 400, 200}).map(QPointF(10, 5)), QPointF(390, 5));
  EXPECT_EQ(aboutCentre(flip, {100, 0, 400, 200}).map(QPointF(110, 5)), QPointF(490, 5));
  EXPECT_EQ(aboutCentre(flip, {0, 0, 400, 200}).map(QPointF(200, 80)), QPointF(200, 80));
  EXPECT_TRUE(aboutCentre(QTransform(), {30, 40, 400, 200}).isIdentity());
}

}  // namespace
}  // namespace vexhal::video
