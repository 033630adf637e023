// The virtual camera's picture and how its settings change it.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <numeric>
#include <set>

#include "FrameLoop.h"
#include "TestPattern.h"
#include "video/FrameDecoder.h"
#include "video/PixelFormat.h"

namespace vexhal::sim {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kLoop = 30;

YuvPicture render(const PictureSettings& settings, int frame = 0) {
  YuvPicture picture;
  TestPattern(kWidth, kHeight, kLoop).render(settings, frame, picture);
  return picture;
}

double mean(const std::vector<std::uint8_t>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

double deviation(const std::vector<std::uint8_t>& values) {
  const double m = mean(values);
  double sum = 0;
  for (const std::uint8_t v : values) sum += (v - m) * (v - m);
  return std::sqrt(sum / static_cast<double>(values.size()));
}

// Luma of one row below the frame counter and above the figure.
std::vector<std::uint8_t> row(const YuvPicture& picture, int y = kHeight / 4) {
  const auto begin = picture.y.begin() + static_cast<std::ptrdiff_t>(y) * picture.width;
  return {begin, begin + picture.width};
}

int changesAlong(const std::vector<std::uint8_t>& line) {
  int changes = 0;
  for (std::size_t x = 1; x < line.size(); ++x) {
    changes += std::abs(line[x] - line[x - 1]) > 8 ? 1 : 0;
  }
  return changes;
}

TEST(TestPattern, ImageControlsChangeThePicture) {
  const YuvPicture neutral = render({});
  PictureSettings bright;
  bright.brightness = 200;
  EXPECT_GT(mean(render(bright).y), mean(neutral.y) + 40);
  PictureSettings dark;
  dark.brightness = 40;
  EXPECT_LT(mean(render(dark).y), mean(neutral.y) - 40);

  PictureSettings flat;
  flat.contrast = 40;
  EXPECT_LT(deviation(render(flat).y), deviation(neutral.y) / 2);

  PictureSettings grey;
  grey.saturation = 0;
  const YuvPicture greyPicture = render(grey);
  EXPECT_TRUE(std::all_of(greyPicture.u.begin(), greyPicture.u.end(),
                          [](std::uint8_t v) { return v == 128; }));
  EXPECT_GT(deviation(neutral.u), 20);

  // Squared steps: a blur spreads an edge over more, smaller steps.
  const auto edgeEnergy = [](const YuvPicture& p) {
    const auto line = row(p);
    double sum = 0;
    for (std::size_t x = 1; x < line.size(); ++x) {
      const double step = line[x] - line[x - 1];
      sum += step * step;
    }
    return sum;
  };
  PictureSettings sharp;
  sharp.sharpness = 255;
  PictureSettings soft;
  soft.sharpness = 0;
  EXPECT_GT(edgeEnergy(render(sharp)), edgeEnergy(neutral) * 1.2);
  EXPECT_LT(edgeEnergy(render(soft)), edgeEnergy(neutral));
}

TEST(TestPattern, MirrorAngleAndFramingChangeTheSceneAndItMoves) {
  PictureSettings mirrored;
  mirrored.mirror = true;
  auto flipped = row(render(mirrored));
  std::reverse(flipped.begin(), flipped.end());
  const auto straight = row(render({}));
  int differing = 0;
  for (std::size_t x = 0; x < straight.size(); ++x) {
    differing += std::abs(straight[x] - flipped[x]) > 2 ? 1 : 0;
  }
  EXPECT_LE(differing, 4);  // pixels on a bar edge may round to either side
  EXPECT_NE(row(render(mirrored)), straight);

  const auto barsAt = [](int angle) {
    PictureSettings settings;
    settings.angle = angle;
    return changesAlong(row(render(settings)));
  };
  EXPECT_EQ(barsAt(120), 7);  // eight bars, seven edges
  EXPECT_LT(barsAt(90), barsAt(120));
  EXPECT_LT(barsAt(60), barsAt(90));
  EXPECT_GE(barsAt(60), 1);
  EXPECT_NEAR(TestPattern::visibleShare(60), 1.0 / 3.0, 1e-9);

  // The tracked box around the figure, in its own colour.
  const auto countColour = [](const YuvPicture& p, std::uint8_t u, std::uint8_t v) {
    int count = 0;
    for (std::size_t i = 0; i < p.u.size(); ++i) count += p.u[i] == u && p.v[i] == v ? 1 : 0;
    return count;
  };
  PictureSettings framing;
  framing.autoFraming = true;
  PictureSettings peopleBox;
  peopleBox.peopleBox = true;
  EXPECT_EQ(countColour(render({}), 44, 21), 0);
  EXPECT_GT(countColour(render(framing), 44, 21), 100);
  EXPECT_GT(countColour(render(peopleBox), 30, 200), 100);
  EXPECT_EQ(countColour(render(peopleBox), 44, 21), 0);

  const TestPattern pattern(kWidth, kHeight, kLoop);
  EXPECT_NE(pattern.figure(0).left, pattern.figure(kLoop / 4).left);
  EXPECT_DOUBLE_EQ(pattern.figure(3).left, pattern.figure(3 + kLoop).left);  // a seamless loop
  EXPECT_NE(render({}, 1).y, render({}, 11).y);
}

TEST(FrameLoop, MakesDistinctDecodableFramesWithinItsMemoryBoundOrNothing) {
  using video::CaptureFormat;
  EXPECT_EQ(FrameLoop::frameCount(CaptureFormat{1920, 1080, video::kFourccMjpeg, {}}), 60);
  EXPECT_EQ(FrameLoop::frameCount(CaptureFormat{1920, 1080, video::kFourccYuyv, {}}), 8);
  EXPECT_EQ(FrameLoop::frameCount(CaptureFormat{640, 480, video::kFourccYuyv, {}}), 54);
  const video::CaptureFormat mjpeg{320, 240, video::kFourccMjpeg, {{30, 30}}};
  const auto loop = FrameLoop::build(mjpeg, {}, 7);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->generation(), 7U);
  ASSERT_EQ(loop->frames().size(), 60U);
  video::FrameDecoder decoder;
  QImage image;
  video::VideoSample sample{loop->frames()[5], video::kFourccMjpeg, 320, 240, 0};
  EXPECT_EQ(decoder.decode(sample, image), "");
  EXPECT_EQ(image.size(), QSize(320, 240));
  std::set<std::vector<std::uint8_t>> distinct;
  for (const auto& frame : loop->frames()) distinct.insert(*frame);
  EXPECT_EQ(distinct.size(), loop->frames().size());

  int asked = 0;
  EXPECT_EQ(FrameLoop::build(mjpeg, {}, 1, [&] { return ++asked > 3; }), nullptr);
  EXPECT_EQ(FrameLoop::build({321, 240, video::kFourccMjpeg, {}}, {}, 1), nullptr);
  EXPECT_EQ(FrameLoop::build({320, 240, video::kFourccNv12, {}}, {}, 1), nullptr);
}

}  // namespace
}  // namespace vexhal::sim
