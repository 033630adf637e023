#pragma once

#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "device/uvc/VideoControl.h"

namespace vexhal::control {

// The camera's further controls (those the driver lists beyond the setting table) as the command
// line names them, by their keys: which control a key means, what a typed value stands for, and
// how a value is shown.
class FurtherControl {
 public:
  // Whether `name` is shaped like a control key: lower-case letters and digits, single dashes
  // between them ("white-balance-temperature").
  static bool isKey(const QString& name);
  // The control with this key among `controls`, or null.
  static const VideoControl* find(const std::vector<VideoControl>& controls, const QString& key);
  // That `key` is none of `controls`, naming those there are.
  static QString unknown(const QString& key, const std::vector<VideoControl>& controls);

  // The value `text` stands for: a number brought into the range and onto the step, on or off
  // for a switch, a menu item by its name (case and punctuation aside: "50 Hz", "50hz") or its
  // value. Nothing, with the reason in `error`, for anything else.
  static std::optional<std::int64_t> parse(const VideoControl& control, const QString& text,
                                           QString* error);
  // What the control takes, as a message shows it: "2800..6500", "on|off", "disabled|50 Hz".
  static QString valuesHelp(const VideoControl& control);
  // The value as `get` gives it in JSON: a switch as true/false, a menu item by its name (a
  // value without an item as its number), other values as numbers.
  static QJsonValue toJson(const VideoControl& control, std::int64_t value);
};

}  // namespace vexhal::control
