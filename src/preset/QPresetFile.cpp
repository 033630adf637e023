#include "preset/QPresetFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "device/uvc/VideoControl.h"

namespace vexhal {
namespace {

const QString kFormat = QStringLiteral("vexhal-preset");
constexpr int kMaxPresets = 100;
constexpr int kMaxControls = 128;
constexpr int kMaxNameLength = 64;

// The five numbers of a control value, as the file names them.
struct Field {
  const char* name;
  std::int64_t QControlValue::*member;
};
constexpr Field kValueFields[] = {{"value", &QControlValue::value},
                                  {"minimum", &QControlValue::minimum},
                                  {"maximum", &QControlValue::maximum},
                                  {"step", &QControlValue::step},
                                  {"default", &QControlValue::defaultValue}};

QString tooLarge() {
  return QStringLiteral("The file is larger than %1 KiB, too large to be a preset file.")
      .arg(QPresetFile::kMaxBytes / 1024);
}

// The deepest nesting of arrays and objects, counted without parsing, so that a hostile file is
// refused before the parser recurses into it.
int nestingDepth(const QByteArray& bytes) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : bytes) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

// Reading stops at the first fault; `fail` keeps its message.
struct Reader {
  QString error;

  bool fail(const QString& message) {
    if (error.isEmpty()) error = message;
    return false;
  }

  std::optional<std::int64_t> integer(const QJsonValue& v, const QString& what) {
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::trunc(d) || d < std::numeric_limits<std::int32_t>::min() ||
        d > std::numeric_limits<std::int32_t>::max()) {
      fail(what + QStringLiteral(" must be a whole number that fits in 32 bits."));
      return std::nullopt;
    }
    return static_cast<std::int64_t>(d);
  }

  std::optional<bool> boolean(const QJsonValue& v, const QString& what) {
    if (!v.isBool()) {
      fail(what + QStringLiteral(" must be true or false."));
      return std::nullopt;
    }
    return v.toBool();
  }

  bool name(const QJsonValue& v, int index, QString& out) {
    if (!v.isString() || v.toString().trimmed().isEmpty()) {
      return fail(QStringLiteral("Preset %1 has no name.").arg(index + 1));
    }
    out = v.toString();
    if (out.size() > kMaxNameLength) {
      return fail(QStringLiteral("The preset name \"%1…\" is longer than %2 characters.")
                      .arg(out.left(16))
                      .arg(kMaxNameLength));
    }
    if (std::any_of(out.begin(), out.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; })) {
      return fail(QStringLiteral("Preset %1 has control characters in its name.").arg(index + 1));
    }
    return true;
  }

  bool functions(const QJsonValue& v, const QString& where, QHIDParams& out) {
    if (!v.isObject()) {
      return fail(where + QStringLiteral(" has no \"functions\" object."));
    }
    const QJsonObject o = v.toObject();
    const auto what = [&where](const char* key) {
      return where + QStringLiteral(": \"") + QLatin1String(key) + u'"';
    };
    for (const auto& [key, field] : {std::pair{"autoFraming", &QHIDParams::autoFraming},
                                     std::pair{"frameMaster", &QHIDParams::frameMaster},
                                     std::pair{"mirror", &QHIDParams::hMirror}}) {
      const auto flag = boolean(o.value(QLatin1String(key)), what(key));
      if (!flag) return false;
      out.*field = *flag;
    }
    for (const auto& [key, field] :
         {std::pair{"autoFramingMode", &QHIDParams::autoFramingMode},
          std::pair{"angle", &QHIDParams::angle}, std::pair{"pickup", &QHIDParams::pickup}}) {
      const auto number = integer(o.value(QLatin1String(key)), what(key));
      if (!number) return false;
      out.*field = *number;
    }
    return true;
  }

  bool controls(const QJsonValue& v, const QString& where,
                std::map<std::string, QControlValue>& out) {
    if (!v.isObject()) {
      return fail(where + QStringLiteral(" has no \"controls\" object."));
    }
    const QJsonObject o = v.toObject();
    if (o.size() > kMaxControls) {
      return fail(where + QStringLiteral(" has more than %1 controls.").arg(kMaxControls));
    }
    for (auto it = o.begin(); it != o.end(); ++it) {
      const std::string key = it.key().toStdString();
      const QString what = where + QStringLiteral(": control \"") + it.key() + u'"';
      if (key.empty() || videoControlKey(key) != key) {
        return fail(what + QStringLiteral(" is not a control name."));
      }
      if (!it.value().isObject()) {
        return fail(what + QStringLiteral(" must be an object."));
      }
      const QJsonObject fields = it.value().toObject();
      QControlValue value;
      for (const Field& field : kValueFields) {
        const auto number =
            integer(fields.value(QLatin1String(field.name)),
                    what + QStringLiteral(" \"") + QLatin1String(field.name) + u'"');
        if (!number) return false;
        value.*field.member = *number;
      }
      if (value.minimum > value.maximum || value.step < 0) {
        return fail(what + QStringLiteral(" has no valid range."));
      }
      out.emplace(key, value);
    }
    return true;
  }

  std::optional<QPreset> preset(const QJsonValue& v, int index) {
    if (!v.isObject()) {
      fail(QStringLiteral("Preset %1 is not an object.").arg(index + 1));
      return std::nullopt;
    }
    const QJsonObject o = v.toObject();
    QPreset p;
    if (!name(o.value(QLatin1String("name")), index, p.name)) return std::nullopt;
    const QString where = QStringLiteral("Preset \"%1\"").arg(p.name);
    if (!functions(o.value(QLatin1String("functions")), where, p.functions) ||
        !controls(o.value(QLatin1String("controls")), where, p.controls)) {
      return std::nullopt;
    }
    return p;
  }

  std::optional<std::vector<QPreset>> document(const QByteArray& bytes) {
    if (bytes.size() > QPresetFile::kMaxBytes) {
      fail(tooLarge());
      return std::nullopt;
    }
    if (nestingDepth(bytes) > QPresetFile::kMaxDepth) {
      fail(QStringLiteral("The file is nested too deeply to be a preset file."));
      return std::nullopt;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
      fail(QStringLiteral("The file is damaged or not a preset file (%1).")
               .arg(doc.isNull() ? parseError.errorString() : QStringLiteral("no JSON object")));
      return std::nullopt;
    }
    const QJsonObject root = doc.object();
    if (root.value(QLatin1String("format")).toString() != kFormat) {
      fail(QStringLiteral("The file is not a VexhalTools preset file."));
      return std::nullopt;
    }
    const auto version =
        integer(root.value(QLatin1String("version")), QStringLiteral("The version"));
    if (!version) return std::nullopt;
    if (*version > QPresetFile::kVersion) {
      fail(QStringLiteral("The file was made by a newer version of VexhalTools (preset format %1); "
                          "this version reads format %2.")
               .arg(*version)
               .arg(QPresetFile::kVersion));
      return std::nullopt;
    }
    if (*version != QPresetFile::kVersion) {
      fail(QStringLiteral("The file has an unknown preset format version (%1).").arg(*version));
      return std::nullopt;
    }
    const QJsonValue list = root.value(QLatin1String("presets"));
    if (!list.isArray()) {
      fail(QStringLiteral("The file has no list of presets."));
      return std::nullopt;
    }
    if (list.toArray().size() > kMaxPresets) {
      fail(QStringLiteral("The file holds more than %1 presets.").arg(kMaxPresets));
      return std::nullopt;
    }
    std::vector<QPreset> presets;
    std::set<QString> names;
    for (const QJsonValue& v : list.toArray()) {
      std::optional<QPreset> p = preset(v, static_cast<int>(presets.size()));
      if (!p) return std::nullopt;
      if (!names.insert(p->name).second) {
        fail(QStringLiteral("The file holds two presets named \"%1\".").arg(p->name));
        return std::nullopt;
      }
      presets.push_back(std::move(*p));
    }
    return presets;
  }
};

QJsonObject toObject(const QPreset& preset) {
  const QHIDParams& f = preset.functions;
  QJsonObject controls;
  for (const auto& [key, value] : preset.controls) {
    QJsonObject fields;
    for (const Field& field : kValueFields) {
      fields.insert(QLatin1String(field.name), static_cast<qint64>(value.*field.member));
    }
    controls.insert(QString::fromStdString(key), fields);
  }
  return {{QStringLiteral("name"), preset.name},
          {QStringLiteral("functions"),
           QJsonObject{{QStringLiteral("autoFraming"), f.autoFraming},
                       {QStringLiteral("autoFramingMode"), static_cast<qint64>(f.autoFramingMode)},
                       {QStringLiteral("frameMaster"), f.frameMaster},
                       {QStringLiteral("angle"), static_cast<qint64>(f.angle)},
                       {QStringLiteral("mirror"), f.hMirror},
                       {QStringLiteral("pickup"), static_cast<qint64>(f.pickup)}}},
          {QStringLiteral("controls"), controls}};
}

}  // namespace

QByteArray QPresetFile::toJson(const std::vector<QPreset>& presets) {
  QJsonArray list;
  for (const QPreset& preset : presets) list.append(toObject(preset));
  return QJsonDocument(QJsonObject{{QStringLiteral("format"), kFormat},
                                   {QStringLiteral("version"), kVersion},
                                   {QStringLiteral("presets"), list}})
      .toJson(QJsonDocument::Indented);
}

std::optional<std::vector<QPreset>> QPresetFile::fromJson(const QByteArray& bytes, QString* error) {
  Reader reader;
  std::optional<std::vector<QPreset>> presets = reader.document(bytes);
  if (!presets && error != nullptr) *error = reader.error;
  return presets;
}

bool QPresetFile::write(const QString& path, const std::vector<QPreset>& presets, QString* error) {
  QSaveFile file(path);
  const QByteArray bytes = toJson(presets);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
    return true;
  }
  if (error != nullptr) {
    *error = QStringLiteral("Could not write %1: %2.").arg(path, file.errorString());
  }
  return false;
}

std::optional<std::vector<QPreset>> QPresetFile::read(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error != nullptr) {
      *error = QStringLiteral("Could not open %1: %2.").arg(path, file.errorString());
    }
    return std::nullopt;
  }
  if (file.size() > kMaxBytes) {
    if (error != nullptr) *error = tooLarge();
    return std::nullopt;
  }
  // No more than one byte past the limit, in case the file grows or is not a regular file.
  const QByteArray bytes = file.read(kMaxBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    if (error != nullptr) {
      *error = QStringLiteral("Could not read %1: %2.").arg(path, file.errorString());
    }
    return std::nullopt;
  }
  return fromJson(bytes, error);
}

}  // namespace vexhal
