#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

#include "section/camera_control/QHIDSetting.h"
#include "section/camera_control/QUVCSetting.h"

namespace vexhal::control {

// The camera settings of the command line and the request protocol: their words, the values
// each takes, and the camera's value of each. Functions travel over HID, image values and the
// preset over UVC; image values are clamped into the range the control screens allow.
class ControlSetting {
 public:
  enum class Id {
    autoFraming,
    framingMode,
    peopleBox,
    angle,
    mirror,
    pickup,
    brightness,
    contrast,
    saturation,
    sharpness,
    preset,
  };

  // A setting with a value as the camera takes it (a switch 1 or 0, a choice its code).
  struct Value {
    Id id;
    std::int64_t value;

    friend bool operator==(const Value&, const Value&) = default;
  };

  // Every setting, in the order `get` lists them.
  static const std::vector<Id>& all();
  // Those that can be read (all but the preset, which is only applied).
  static std::vector<Id> readable();

  static QString word(Id id);
  // The values a setting takes, as help shows them: "on|off", "78..178".
  static QString valuesHelp(Id id);
  static bool isReadable(Id id) { return id != Id::preset; }
  static std::optional<QHIDSetting::Field> hidField(Id id);
  static std::optional<QUVCSetting::Control> imageControl(Id id);

  // A setting's name; nothing, with a message naming the known settings, for another word.
  static std::optional<Id> parseName(const QString& name, QString* error);
  // A "name=value" item: the value as the camera takes it, image values clamped; nothing, with
  // the reason in `error`, for an unknown name or value.
  static std::optional<Value> parse(const QString& item, QString* error);

  // A camera's value as `get` gives it in JSON: numbers as numbers, switches as true/false,
  // choices as their words (a value the camera should not have as its number).
  static QJsonValue toJson(Id id, std::int64_t value);
  // The value as the human-readable output shows it: "on", "meeting", "90", "128".
  static QString text(Id id, std::int64_t value);

  // A whole number in text; one too large for 64 bits is taken at the end it lies beyond,
  // since it is clamped anyway. Nothing for other text.
  static std::optional<std::int64_t> wholeNumber(const QString& text);

  // An image value brought into the range of the image page's sliders, as the screens do.
  static std::int64_t clampImageValue(std::int64_t value);
};

}  // namespace vexhal::control
