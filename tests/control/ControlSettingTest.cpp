// The setting table: the words and values of every setting, clamping as the image page clamps,
// and the JSON values of `get`.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "control/ControlSetting.h"

namespace vexhal::control {
namespace {

using Id = ControlSetting::Id;

struct ParseCase {
  const char* item;
  std::optional<ControlSetting::Value> expected;
  const char* errorPart;  // a part of the message when parsing fails
};

TEST(ControlSettingTest, ParsesEveryWordAndRefusesTheRest) {
  const ParseCase cases[] = {
      {"auto-framing=on", ControlSetting::Value{Id::autoFraming, 1}, ""},
      {"auto-framing=yes", std::nullopt, "auto-framing: \"yes\" is not a value it takes (on|off)"},
      {"framing-mode=meeting", ControlSetting::Value{Id::framingMode, 0}, ""},
      {"framing-mode=single", ControlSetting::Value{Id::framingMode, 1}, ""},
      {"framing-mode=1", std::nullopt, "(meeting|single)"},
      {"angle=60", ControlSetting::Value{Id::angle, 60}, ""},
      {"angle=90", ControlSetting::Value{Id::angle, 90}, ""},
      {"angle=120", ControlSetting::Value{Id::angle, 120}, ""},
      {"angle=45", std::nullopt, "(60|90|120)"},
      {"mirror=off", ControlSetting::Value{Id::mirror, 0}, ""},
      {"pickup=low", ControlSetting::Value{Id::pickup, 30}, ""},
      {"pickup=high", ControlSetting::Value{Id::pickup, 80}, ""},
      {"pickup=80", ControlSetting::Value{Id::pickup, 80}, ""},
      {"pickup=40", std::nullopt, "(low|medium|high)"},
      {"preset=vivid", ControlSetting::Value{Id::preset, 2}, ""},
      {"preset=custom", std::nullopt, "(standard|bright|vivid)"},
      // Image values: clamped into 78..178 as the image page's sliders clamp them.
      {"brightness=128", ControlSetting::Value{Id::brightness, 128}, ""},
      {"saturation=178", ControlSetting::Value{Id::saturation, 178}, ""},
      {"sharpness=0", ControlSetting::Value{Id::sharpness, 78}, ""},
      {"sharpness=-40", ControlSetting::Value{Id::sharpness, 78}, ""},
      {"brightness=+200", ControlSetting::Value{Id::brightness, 178}, ""},
      {"brightness=99999999999999999999999", ControlSetting::Value{Id::brightness, 178}, ""},
      {"brightness=-99999999999999999999999", ControlSetting::Value{Id::brightness, 78}, ""},
      {"brightness=12.5", std::nullopt, "(78..178)"},
      {"brightness=", std::nullopt, "brightness: \"\" is not a value it takes (78..178)"},
      {"brightness", std::nullopt, "brightness needs a value: brightness=78..178"},
      {"Brightness=100", std::nullopt, "unknown setting \"Brightness\"; the settings are "},
      {"zoom=2", std::nullopt, "auto-framing, framing-mode, people-box, angle, mirror, pickup"},
      {"=on", std::nullopt, "unknown setting \"\""},
      {"angle=90=90", std::nullopt, "(60|90|120)"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.item);
    QString error;
    EXPECT_EQ(ControlSetting::parse(QString::fromUtf8(c.item), &error), c.expected);
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.errorPart))) << error.toStdString();
    EXPECT_EQ(error.isEmpty(), c.expected.has_value());
  }
}

struct JsonCase {
  Id id;
  std::int64_t cameraValue;
  QJsonValue json;
  const char* text;
};

TEST(ControlSettingTest, JsonValuesAreNumbersSwitchesAndWordsAndComeBack) {
  const JsonCase cases[] = {
      {Id::autoFraming, 1, true, "on"},
      {Id::autoFraming, 0, false, "off"},
      {Id::mirror, 0, false, "off"},
      {Id::framingMode, 0, QStringLiteral("meeting"), "meeting"},
      {Id::framingMode, 1, QStringLiteral("single"), "single"},
      {Id::framingMode, 7, 7, "7"},  // a value no word stands for stays a number
      {Id::angle, 90, 90, "90"},
      {Id::angle, 75, 75, "75"},
      {Id::pickup, 30, QStringLiteral("low"), "low"},
      {Id::pickup, 80, QStringLiteral("high"), "high"},
      {Id::brightness, 178, 178, "178"},
      {Id::sharpness, 78, 78, "78"},
  };
  for (const JsonCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ControlSetting::toJson(c.id, c.cameraValue), c.json);
    EXPECT_EQ(ControlSetting::text(c.id, c.cameraValue), QString::fromUtf8(c.text));
    EXPECT_EQ(ControlSetting::fromJson(c.id, c.json), c.cameraValue);
  }
  // The screens show an odd pick-up range as medium; so does `get`.
  EXPECT_EQ(ControlSetting::toJson(Id::pickup, 65), QJsonValue(QStringLiteral("medium")));
}

TEST(ControlSettingTest, JsonOfTheWrongTypeIsRefused) {
  const std::pair<Id, QJsonValue> cases[] = {
      {Id::autoFraming, 1},
      {Id::autoFraming, QStringLiteral("on")},
      {Id::framingMode, QStringLiteral("Meeting")},
      {Id::pickup, true},
      {Id::angle, QStringLiteral("90")},
      {Id::brightness, 128.5},
      {Id::brightness, 1e300},
      {Id::brightness, QJsonArray{128}},
  };
  for (const auto& [id, json] : cases) {
    SCOPED_TRACE(ControlSetting::word(id).toStdString());
    EXPECT_EQ(ControlSetting::fromJson(id, json), std::nullopt);
  }
}

}  // namespace
}  // namespace vexhal::control
