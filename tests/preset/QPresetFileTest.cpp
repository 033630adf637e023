#include "preset/QPresetFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace vexhal {
namespace {

QPreset sample(const QString& name) {
  QPreset p{name, {false, 1, true, 90, true, 80}, {}};
  p.controls["gain"] = {40, 0, 100, 1, 50};
  p.controls["white-balance-temperature"] = {4600, 2800, 6500, 10, 4600};
  return p;
}

TEST(QPresetFileTest, PresetsTravelThroughAFileUnchanged) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("room.vexhal-preset.json"));
  const std::vector<QPreset> presets{sample(QStringLiteral("Board room")),
                                     sample(QStringLiteral("[[[[[[[[[[ \"quoted\" }}}"))};
  QString error;
  ASSERT_TRUE(QPresetFile::write(path, presets, &error)) << error.toStdString();
  EXPECT_EQ(QPresetFile::read(path, &error), presets) << error.toStdString();
  EXPECT_FALSE(QPresetFile::write(dir.path(), presets, &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("Could not write"))) << error.toStdString();
}

TEST(QPresetFileTest, DamagedOrHostileFilesAreRefusedWithAClearMessage) {
  using Edit = std::function<void(QJsonObject & root, QJsonObject & preset)>;
  const auto set = [](const char* key, QJsonValue v) -> Edit {
    return [key, v](QJsonObject&, QJsonObject& p) { p[QLatin1String(key)] = v; };
  };
  const auto control = [](const char* key, QJsonValue v) -> Edit {
    return [key, v](QJsonObject&, QJsonObject& p) {
      QJsonObject controls = p[QStringLiteral("controls")].toObject();
      controls[QLatin1String(key)] = v;
      p[QStringLiteral("controls")] = controls;
    };
  };
  QJsonObject functions =
      QJsonObject{{"autoFraming", true}, {"autoFramingMode", 0}, {"frameMaster", false},
                  {"angle", 120},        {"mirror", false},      {"pickup", 50}};
  const QJsonObject gain{{"value", 1}, {"minimum", 0}, {"maximum", 9}, {"step", 1}, {"default", 5}};
  QJsonObject bigAngle = functions;
  bigAngle["angle"] = 2147483648.0;
  QJsonObject manyControls;
  for (int i = 0; i < 129; ++i) manyControls[QStringLiteral("c%1").arg(i)] = gain;
  const struct {
    const char* what;
    Edit edit;
    const char* message;
  } rows[] = {
      {"format", [](auto& r, auto&) { r["format"] = "other"; }, "not a VexhalTools preset file"},
      {"newer", [](auto& r, auto&) { r["version"] = 2; }, "made by a newer version"},
      {"older", [](auto& r, auto&) { r["version"] = 0; }, "unknown preset format version (0)"},
      {"version text", [](auto& r, auto&) { r["version"] = "1"; }, "version must be a whole"},
      {"presets",
       [](auto& r, auto& p) {
         QJsonArray many;
         for (int i = 0; i < 101; ++i) many.append(p);
         r["presets"] = many;
       },
       "more than 100 presets"},
      {"twice",
       [](auto& r, auto& p) {
         r["presets"] = QJsonArray{p, p};
       },
       "two presets named"},
      {"no name", set("name", " "), "Preset 1 has no name."},
      {"long name", set("name", QString(65, u'x')), "longer than 64 characters"},
      {"control char", set("name", "a\u0007"), "control characters in its name"},
      {"no functions", set("functions", 1), "has no \"functions\" object"},
      {"angle", set("functions", bigAngle), "\"angle\" must be a whole number that fits in 32"},
      {"controls", set("controls", manyControls), "more than 128 controls"},
      {"key", control("Gain", gain), "control \"Gain\" is not a control name"},
      {"fraction", control("gain", QJsonObject{{"value", 1.5}}), "\"value\" must be a whole"},
      {"range",
       control(
           "gain",
           QJsonObject{{"value", 1}, {"minimum", 9}, {"maximum", 0}, {"step", 1}, {"default", 1}}),
       "has no valid range"},
  };
  for (const auto& row : rows) {
    QJsonObject preset{{"name", "P"}, {"functions", functions}, {"controls", QJsonObject()}};
    QJsonObject root{{"format", "vexhal-preset"}, {"version", 1}};
    row.edit(root, preset);
    if (!root.contains(QStringLiteral("presets"))) root["presets"] = QJsonArray{preset};
    QString error;
    EXPECT_FALSE(QPresetFile::fromJson(QJsonDocument(root).toJson(), &error)) << row.what;
    EXPECT_TRUE(error.contains(QLatin1String(row.message))) << error.toStdString();
  }
}

TEST(QPresetFileTest, OversizedAndDeeplyNestedFilesAreRefusedBeforeParsing) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("big.vexhal-preset.json"));
  QFile big(path);
  ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(10 * 1024 * 1024));
  big.close();
  QString error;
  EXPECT_FALSE(QPresetFile::read(path, &error));
  EXPECT_TRUE(error.contains(QLatin1String("too large"))) << error.toStdString();
  const QByteArray deep = "{\"presets\":" + QByteArray(8, '[') + QByteArray(8, ']') + "}";
  EXPECT_FALSE(QPresetFile::fromJson(deep, &error));
  EXPECT_TRUE(error.contains(QLatin1String("nested too deeply"))) << error.toStdString();
  EXPECT_FALSE(QPresetFile::fromJson("{\"format\": \"vexhal-preset\",", &error));
  EXPECT_TRUE(error.contains(QLatin1String("damaged"))) << error.toStdString();
}

}  // namespace
}  // namespace vexhal
