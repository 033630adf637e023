#include "control/ControlSetting.h"

#include <QRegularExpression>

#include <array>
#include <limits>

#include "control/ProtocolFields.h"
#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal::control {

namespace {

using Id = ControlSetting::Id;

enum class Kind { onOff, choice, number };

// A word of a choice and the camera's value for it.
struct Choice {
  const char* word;
  std::int64_t value;
};

struct Row {
  Id id;
  const char* word;
  Kind kind;
  std::vector<Choice> choices;  // for switches: on, off; for numbers: none
};

const std::vector<Row>& table() {
  static const std::vector<Row> rows{
      {Id::autoFraming, "auto-framing", Kind::onOff, {{"on", 1}, {"off", 0}}},
      {Id::framingMode, "framing-mode", Kind::choice, {{"meeting", 0}, {"single", 1}}},
      {Id::peopleBox, "people-box", Kind::onOff, {{"on", 1}, {"off", 0}}},
      {Id::angle,
       "angle",
       Kind::choice,
       {{"60", cameraparams::angleForItem(0)},
        {"90", cameraparams::angleForItem(1)},
        {"120", cameraparams::angleForItem(2)}}},
      {Id::mirror, "mirror", Kind::onOff, {{"on", 1}, {"off", 0}}},
      {Id::pickup,
       "pickup",
       Kind::choice,
       {{"low", cameraparams::pickupForItem(0)},
        {"medium", cameraparams::pickupForItem(1)},
        {"high", cameraparams::pickupForItem(2)}}},
      {Id::brightness, "brightness", Kind::number, {}},
      {Id::contrast, "contrast", Kind::number, {}},
      {Id::saturation, "saturation", Kind::number, {}},
      {Id::sharpness, "sharpness", Kind::number, {}},
      {Id::preset,
       "preset",
       Kind::choice,
       {{"standard", QUVCParams::rawValue(QUVCParams::ImageMode::standard)},
        {"bright", QUVCParams::rawValue(QUVCParams::ImageMode::bright)},
        {"vivid", QUVCParams::rawValue(QUVCParams::ImageMode::vivid)}}},
  };
  return rows;
}

const Row& row(Id id) { return table()[static_cast<std::size_t>(id)]; }

constexpr std::int64_t kImageMinimum = cameraparams::uvcValueOffset;
constexpr std::int64_t kImageMaximum = cameraparams::uvcValueOffset + cameraparams::kSliderMaximum;

QString knownNames() {
  QStringList names;
  for (const Row& r : table()) {
    names.append(QLatin1StringView(r.word));
  }
  return names.join(QStringLiteral(", "));
}

// The choice a camera value stands for. Angles and pick-up ranges are shown as the screens show
// them: an odd angle as the widest, an odd pick-up range as medium.
const Choice* choiceFor(const Row& r, std::int64_t value) {
  if (r.id == Id::pickup) {
    value = cameraparams::pickupForItem(cameraparams::itemForPickup(value));
  }
  for (const Choice& choice : r.choices) {
    if (choice.value == value) {
      return &choice;
    }
  }
  return nullptr;
}

}  // namespace

const std::vector<Id>& ControlSetting::all() {
  static const std::vector<Id> ids = [] {
    std::vector<Id> out;
    for (const Row& r : table()) {
      out.push_back(r.id);
    }
    return out;
  }();
  return ids;
}

std::vector<Id> ControlSetting::readable() {
  std::vector<Id> out;
  for (const Id id : all()) {
    if (isReadable(id)) {
      out.push_back(id);
    }
  }
  return out;
}

QString ControlSetting::word(Id id) { return QString::fromLatin1(row(id).word); }

QString ControlSetting::valuesHelp(Id id) {
  const Row& r = row(id);
  if (r.kind == Kind::number) {
    return QStringLiteral("%1..%2").arg(kImageMinimum).arg(kImageMaximum);
  }
  QStringList words;
  for (const Choice& choice : r.choices) {
    words.append(QLatin1StringView(choice.word));
  }
  return words.join(u'|');
}

std::optional<QHIDSetting::Field> ControlSetting::hidField(Id id) {
  using Field = QHIDSetting::Field;
  switch (id) {
    case Id::autoFraming:
      return Field::autoFraming;
    case Id::framingMode:
      return Field::autoFramingMode;
    case Id::peopleBox:
      return Field::frameMaster;
    case Id::angle:
      return Field::angle;
    case Id::mirror:
      return Field::hMirror;
    case Id::pickup:
      return Field::pickup;
    default:
      return std::nullopt;
  }
}

std::optional<QUVCSetting::Control> ControlSetting::imageControl(Id id) {
  using Control = QUVCSetting::Control;
  switch (id) {
    case Id::brightness:
      return Control::brightness;
    case Id::contrast:
      return Control::contrast;
    case Id::saturation:
      return Control::saturation;
    case Id::sharpness:
      return Control::sharpness;
    default:
      return std::nullopt;
  }
}

std::optional<Id> ControlSetting::parseName(const QString& name, QString* error) {
  for (const Row& r : table()) {
    if (name == QLatin1StringView(r.word)) {
      return r.id;
    }
  }
  if (error != nullptr) {
    *error = QStringLiteral("unknown setting \"%1\"; the settings are %2")
                 .arg(name.left(64), knownNames());
  }
  return std::nullopt;
}

std::optional<ControlSetting::Value> ControlSetting::parse(const QString& item, QString* error) {
  const qsizetype equals = item.indexOf(u'=');
  const std::optional<Id> id = parseName(equals < 0 ? item : item.left(equals), error);
  if (!id) {
    return std::nullopt;
  }
  const QString name = word(*id);
  if (equals < 0) {
    if (error != nullptr) {
      *error = QStringLiteral("%1 needs a value: %1=%2").arg(name, valuesHelp(*id));
    }
    return std::nullopt;
  }
  const QString text = item.mid(equals + 1);
  const Row& r = row(*id);
  if (r.kind == Kind::number) {
    if (const std::optional<std::int64_t> number = wholeNumber(text)) {
      return Value{*id, clampImageValue(*number)};
    }
  } else {
    for (const Choice& choice : r.choices) {
      // The pick-up range is also taken as the number the camera uses.
      if (text == QLatin1StringView(choice.word) ||
          (r.id == Id::pickup && text == QString::number(choice.value))) {
        return Value{*id, choice.value};
      }
    }
  }
  if (error != nullptr) {
    *error = QStringLiteral("%1: \"%2\" is not a value it takes (%3)")
                 .arg(name, text.left(64), valuesHelp(*id));
  }
  return std::nullopt;
}

QJsonValue ControlSetting::toJson(Id id, std::int64_t value) {
  const Row& r = row(id);
  switch (r.kind) {
    case Kind::onOff:
      return value != 0;
    case Kind::number:
      return static_cast<qint64>(value);
    case Kind::choice:
      break;
  }
  if (id == Id::angle) {
    return static_cast<qint64>(value);
  }
  const Choice* choice = choiceFor(r, value);
  return choice != nullptr ? QJsonValue(QString::fromLatin1(choice->word))
                           : QJsonValue(static_cast<qint64>(value));
}

QString ControlSetting::text(Id id, std::int64_t value) {
  const QJsonValue json = toJson(id, value);
  if (json.isBool()) {
    return json.toBool() ? QStringLiteral("on") : QStringLiteral("off");
  }
  return json.isString() ? json.toString() : QString::number(value);
}

std::optional<std::int64_t> ControlSetting::wholeNumber(const QString& text) {
  static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
  if (!digits.match(text).hasMatch()) {
    return std::nullopt;
  }
  bool ok = false;
  const qlonglong value = text.toLongLong(&ok);
  if (ok) {
    return value;
  }
  return text.startsWith(u'-') ? std::numeric_limits<std::int64_t>::min()
                               : std::numeric_limits<std::int64_t>::max();
}

std::int64_t ControlSetting::clampImageValue(std::int64_t value) {
  return cameraparams::uvcValueForPosition(cameraparams::positionForUvcValue(value));
}

}  // namespace vexhal::control
