#include "preset/QPresetFit.h"

#include <gtest/gtest.h>

#include <linux/videodev2.h>

namespace vexhal {
namespace {

using Kind = QPresetAdjustment::Kind;
using Type = VideoControl::Type;

VideoControl control(std::uint32_t id, const char* key, Type type, std::int64_t min,
                     std::int64_t max, std::int64_t step = 1) {
  VideoControl c;
  c.id = id;
  c.key = key;
  c.type = type;
  c.minimum = min;
  c.maximum = max;
  c.step = step;
  c.value = min;
  c.menu = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}};
  return c;
}

// In the driver's order, with the manual exposure time before its automatic mode.
std::vector<VideoControl> camera() {
  std::vector<VideoControl> c{
      control(V4L2_CID_GAIN, "gain", Type::integer, 0, 100),
      control(V4L2_CID_EXPOSURE_ABSOLUTE, "exposure-time-absolute", Type::integer, 3, 2047),
      control(V4L2_CID_EXPOSURE_AUTO, "auto-exposure", Type::menu, 0, 3),
      control(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "white-balance-temperature", Type::integer, 2800,
              6500, 10),
      control(V4L2_CID_AUTO_WHITE_BALANCE, "white-balance-automatic", Type::boolean, 0, 1),
      control(V4L2_CID_POWER_LINE_FREQUENCY, "power-line-frequency", Type::menu, 0, 3),
      control(V4L2_CID_PAN_ABSOLUTE, "pan-absolute", Type::integer, -36000, 36000, 3600),
  };
  c[1].inactive = true;  // automatic exposure owns it now
  c[6].readOnly = true;
  return c;
}

TEST(QPresetFitTest, EachStoredValueMeetsTheCamerasControl) {
  const struct {
    const char* key;
    QControlValue stored;
    std::optional<std::int64_t> sent;  // nothing: skipped
    std::optional<Kind> adjusted;
  } rows[] = {
      {"gain", {40, 0, 100, 1, 50}, 40, std::nullopt},
      {"gain", {300, 0, 100, 1, 50}, 100, Kind::clamped},
      {"gain", {-5, 0, 100, 1, 50}, 0, Kind::clamped},
      // 0.42 of the way up 2800..6500 is 4354, on the 10-step grid 4350.
      {"white-balance-temperature", {4100, 2000, 7000, 1, 4600}, 4350, Kind::scaled},
      {"white-balance-temperature", {7000, 2000, 7000, 1, 4600}, 6500, Kind::scaled},
      {"white-balance-temperature", {2800, 2800, 6500, 10, 4600}, 2800, std::nullopt},
      {"exposure-time-absolute", {300, 3, 2047, 1, 250}, 300, std::nullopt},
      {"white-balance-automatic", {0, 0, 1, 1, 1}, 0, std::nullopt},
      {"white-balance-automatic", {7, 0, 1, 1, 1}, 1, Kind::clamped},
      // Menus are never scaled: an item is kept when the camera offers it, else skipped.
      {"power-line-frequency", {2, 0, 5, 1, 1}, 2, std::nullopt},
      {"power-line-frequency", {3, 0, 3, 1, 1}, std::nullopt, Kind::skipped},
      {"pan-absolute", {0, -36000, 36000, 3600, 0}, std::nullopt, Kind::skipped},
      {"focus-absolute", {10, 0, 100, 1, 0}, std::nullopt, Kind::skipped},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " " + std::to_string(row.stored.value));
    const QPresetFit fit = fitPreset({{row.key, row.stored}}, camera());
    std::vector<std::int64_t> sent;
    for (const auto& setting : fit.settings) sent.push_back(setting.value);
    EXPECT_EQ(sent, row.sent ? std::vector<std::int64_t>{*row.sent} : std::vector<std::int64_t>{});
    std::vector<QPresetAdjustment> adjusted;
    if (row.adjusted)
      adjusted.push_back({row.key, *row.adjusted, row.stored.value, sent.empty() ? 0 : sent[0]});
    EXPECT_EQ(fit.adjustments, adjusted);
  }
}

TEST(QPresetFitTest, AutomaticModesGoFirstAndEveryChangeIsToldPlainly) {
  const std::vector<VideoControl> cam = camera();
  std::map<std::string, QControlValue> wanted = controlValues(cam);
  EXPECT_EQ(wanted.count("pan-absolute"), 0U);  // read-only: not worth keeping
  wanted["gain"].value = 300;
  wanted["white-balance-temperature"] = {4100, 2000, 7000, 1, 4600};
  wanted["focus-absolute"] = {10, 0, 100, 1, 0};
  const QPresetFit fit = fitPreset(wanted, cam);
  std::vector<std::string> order;
  for (const auto& s : fit.settings) order.push_back(s.key);
  EXPECT_EQ(order, (std::vector<std::string>{"auto-exposure", "white-balance-automatic", "gain",
                                             "exposure-time-absolute", "white-balance-temperature",
                                             "power-line-frequency"}));
  EXPECT_EQ(fit.describe(),
            (QStringList{"gain: 300 was out of range, set to 100",
                         "white-balance-temperature: 4100 was scaled to 4350 for this camera's "
                         "range",
                         "focus-absolute: 10 was skipped, this camera does not offer that "
                         "control or setting"}));
}

}  // namespace
}  // namespace vexhal
