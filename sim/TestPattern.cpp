#include "TestPattern.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vexhal::sim {

namespace {

struct Yuv {
  std::uint8_t y;
  std::uint8_t u;
  std::uint8_t v;
};

// White, yellow, cyan, green, magenta, red, blue, black.
constexpr std::array<Yuv, 8> kBars{{{235, 128, 128},
                                    {210, 16, 146},
                                    {170, 166, 16},
                                    {145, 54, 34},
                                    {106, 202, 222},
                                    {81, 90, 240},
                                    {41, 240, 110},
                                    {16, 128, 128}}};
constexpr Yuv kFigure{170, 110, 155};
constexpr Yuv kFramingBox{150, 44, 21};  // green
constexpr Yuv kPeopleBox{180, 30, 200};  // orange
constexpr double kRampTop = 5.0 / 6.0;   // the grey ramp fills the bottom sixth of the scene

// Digits 0-9 as 5x7 bitmaps, one row per byte, high bit of the low five on the left.
constexpr std::array<std::array<std::uint8_t, 7>, 10> kDigits{{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

std::uint8_t clampByte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

void YuvPicture::resize(int w, int h) {
  width = w;
  height = h;
  y.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  u.resize(static_cast<std::size_t>(w / 2) * static_cast<std::size_t>(h / 2));
  v.resize(u.size());
}

TestPattern::TestPattern(int width, int height, int loopLength)
    : width_(width & ~1), height_(height & ~1), loopLength_(std::max(loopLength, 1)) {}

double TestPattern::visibleShare(int angle) {
  const double half = std::clamp(angle, 1, 120) * std::numbers::pi / 360.0;
  return std::tan(half) / std::tan(std::numbers::pi / 3.0);
}

TestPattern::Box TestPattern::figure(int frameIndex) const {
  const double phase = 2.0 * std::numbers::pi * (frameIndex % loopLength_) / loopLength_;
  const double centre = 0.5 + 0.12 * std::sin(phase);
  return {centre - 0.05, 0.35, centre + 0.05, 0.78};
}

void TestPattern::render(const PictureSettings& settings, int frameIndex,
                         YuvPicture& picture) const {
  picture.resize(width_, height_);
  drawScene(settings, frameIndex, picture);
  drawTrackedBox(settings, frameIndex, picture);
  adjust(settings, picture);
  sharpen(settings.sharpness, picture);
  drawCounter(frameIndex, picture);
}

void TestPattern::drawScene(const PictureSettings& settings, int frameIndex,
                            YuvPicture& picture) const {
  const double share = visibleShare(settings.angle);
  const Box person = figure(frameIndex);
  // Scene column of every picture column, after the crop and the mirror.
  std::vector<double> sceneU(static_cast<std::size_t>(width_));
  for (int x = 0; x < width_; ++x) {
    const int column = settings.mirror ? width_ - 1 - x : x;
    sceneU[static_cast<std::size_t>(x)] = 0.5 + ((column + 0.5) / width_ - 0.5) * share;
  }
  const auto w = static_cast<std::size_t>(width_);
  for (int y = 0; y < height_; ++y) {
    const double v = 0.5 + ((y + 0.5) / height_ - 0.5) * share;
    std::uint8_t* lumaRow = picture.y.data() + static_cast<std::size_t>(y) * w;
    std::uint8_t* uRow = picture.u.data() + static_cast<std::size_t>(y / 2) * (w / 2);
    std::uint8_t* vRow = picture.v.data() + static_cast<std::size_t>(y / 2) * (w / 2);
    const bool chromaRow = (y & 1) == 0;
    const bool personRow = v >= person.top && v < person.bottom;
    for (int x = 0; x < width_; ++x) {
      const double u = sceneU[static_cast<std::size_t>(x)];
      Yuv colour{};
      if (personRow && u >= person.left && u < person.right) {
        colour = kFigure;
      } else if (v >= kRampTop) {
        colour = {clampByte(16 + static_cast<int>(u * 16) * 14), 128, 128};
      } else {
        colour = kBars[static_cast<std::size_t>(std::clamp(static_cast<int>(u * 8), 0, 7))];
      }
      lumaRow[x] = colour.y;
      if (chromaRow && (x & 1) == 0) {
        uRow[x / 2] = colour.u;
        vRow[x / 2] = colour.v;
      }
    }
  }
}

void TestPattern::drawTrackedBox(const PictureSettings& settings, int frameIndex,
                                 YuvPicture& picture) const {
  if (!settings.autoFraming && !settings.peopleBox) {
    return;
  }
  const double share = visibleShare(settings.angle);
  const Box person = figure(frameIndex);
  const auto toX = [&](double u) {
    const double x = ((u - 0.5) / share + 0.5) * width_;
    return settings.mirror ? width_ - x : x;
  };
  const auto toY = [&](double v) { return ((v - 0.5) / share + 0.5) * height_; };
  const double margin = 0.02;
  int left = static_cast<int>(toX(person.left - margin));
  int right = static_cast<int>(toX(person.right + margin));
  if (left > right) {
    std::swap(left, right);
  }
  const int top = static_cast<int>(toY(person.top - margin));
  const int bottom = static_cast<int>(toY(person.bottom + margin));
  const int thickness = std::max(2, height_ / 180) & ~1;
  const Yuv colour = settings.peopleBox ? kPeopleBox : kFramingBox;
  const auto fill = [&](int x0, int y0, int x1, int y1) {
    x0 = std::clamp(x0 & ~1, 0, width_);
    x1 = std::clamp(x1, 0, width_);
    y0 = std::clamp(y0 & ~1, 0, height_);
    y1 = std::clamp(y1, 0, height_);
    for (int y = y0; y < y1; ++y) {
      std::fill_n(picture.y.data() + static_cast<std::size_t>(y) * picture.width + x0,
                  std::max(0, x1 - x0), colour.y);
      if ((y & 1) == 0) {
        const std::size_t row = static_cast<std::size_t>(y / 2) * (picture.width / 2);
        for (int x = x0 / 2; x < (x1 + 1) / 2; ++x) {
          picture.u[row + static_cast<std::size_t>(x)] = colour.u;
          picture.v[row + static_cast<std::size_t>(x)] = colour.v;
        }
      }
    }
  };
  fill(left, top, right, top + thickness);
  fill(left, bottom - thickness, right, bottom);
  fill(left, top, left + thickness, bottom);
  fill(right - thickness, top, right, bottom);
}

void TestPattern::adjust(const PictureSettings& settings, YuvPicture& picture) {
  if (settings.brightness == 128 && settings.contrast == 128 && settings.saturation == 128) {
    return;
  }
  std::array<std::uint8_t, 256> luma{};
  std::array<std::uint8_t, 256> chroma{};
  for (int i = 0; i < 256; ++i) {
    luma[static_cast<std::size_t>(i)] =
        clampByte((i - 128) * settings.contrast / 128 + 128 + (settings.brightness - 128));
    chroma[static_cast<std::size_t>(i)] = clampByte((i - 128) * settings.saturation / 128 + 128);
  }
  for (std::uint8_t& value : picture.y) value = luma[value];
  for (std::uint8_t& value : picture.u) value = chroma[value];
  for (std::uint8_t& value : picture.v) value = chroma[value];
}

void TestPattern::sharpen(int sharpness, YuvPicture& picture) {
  // Above 128 edges are raised (unsharp mask); below it the row is blurred, down to the
  // [1 2 1] / 4 kernel at 0, which cannot overshoot.
  const int amount = sharpness - 128;
  const int divisor = amount > 0 ? 128 : 512;
  if (amount == 0) {
    return;
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.width));
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* line = picture.y.data() + static_cast<std::size_t>(y) * picture.width;
    std::copy_n(line, picture.width, row.begin());
    for (int x = 1; x + 1 < picture.width; ++x) {
      const int centre = row[static_cast<std::size_t>(x)];
      const int edge =
          2 * centre - row[static_cast<std::size_t>(x - 1)] - row[static_cast<std::size_t>(x + 1)];
      line[x] = clampByte(centre + edge * amount / divisor);
    }
  }
}

void TestPattern::drawCounter(int frameIndex, YuvPicture& picture) const {
  const int scale = std::max(1, height_ / 120);
  const int digits = 4;
  const int glyphWidth = 6 * scale;
  const int boxWidth = digits * glyphWidth + 2 * scale;
  const int boxHeight = 9 * scale;
  const int x0 = std::max(0, width_ - boxWidth - 2 * scale) & ~1;
  const int y0 = 2 * scale & ~1;
  for (int y = y0; y < std::min(height_, y0 + boxHeight); ++y) {
    std::fill_n(picture.y.data() + static_cast<std::size_t>(y) * picture.width + x0,
                std::min(boxWidth, width_ - x0), std::uint8_t{16});
    if ((y & 1) == 0) {
      const std::size_t row = static_cast<std::size_t>(y / 2) * (picture.width / 2);
      for (int x = x0 / 2; x < std::min(width_, x0 + boxWidth) / 2; ++x) {
        picture.u[row + static_cast<std::size_t>(x)] = 128;
        picture.v[row + static_cast<std::size_t>(x)] = 128;
      }
    }
  }
  int number = frameIndex % 10000;
  for (int d = digits - 1; d >= 0; --d, number /= 10) {
    const auto& glyph = kDigits[static_cast<std::size_t>(number % 10)];
    const int gx = x0 + scale + d * glyphWidth;
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if ((glyph[static_cast<std::size_t>(row)] >> (4 - col) & 1) == 0) {
          continue;
        }
        for (int sy = 0; sy < scale; ++sy) {
          const int y = y0 + scale + row * scale + sy;
          const int x = gx + col * scale;
          if (y < height_ && x + scale <= width_) {
            std::fill_n(picture.y.data() + static_cast<std::size_t>(y) * picture.width + x, scale,
                        std::uint8_t{235});
          }
        }
      }
    }
  }
}

}  // namespace vexhal::sim
