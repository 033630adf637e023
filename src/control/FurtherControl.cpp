#include "control/FurtherControl.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

#include "control/ControlSetting.h"

namespace vexhal::control {

namespace {

using Type = VideoControl::Type;

// Within the range and on the control's step, counted from its minimum.
std::int64_t fitted(const VideoControl& control, std::int64_t value) {
  value = std::clamp(value, control.minimum, std::max(control.minimum, control.maximum));
  if (control.step > 1) {
    const std::int64_t offset = value - control.minimum;
    value = control.minimum + (offset + control.step / 2) / control.step * control.step;
    if (value > control.maximum) {
      value -= control.step;
    }
  }
  return value;
}

// A menu item's name without case, spaces or punctuation: "50 Hz" and "50hz" are one.
std::string bareName(std::string_view name) {
  std::string bare = videoControlKey(name);
  std::erase(bare, '-');
  return bare;
}

QString label(const VideoMenuItem& item) { return QString::fromStdString(item.label); }

}  // namespace

bool FurtherControl::isKey(const QString& name) {
  static const QRegularExpression key(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
  return name.size() <= 64 && key.match(name).hasMatch();
}

const VideoControl* FurtherControl::find(const std::vector<VideoControl>& controls,
                                         const QString& key) {
  const std::string wanted = key.toStdString();
  const auto it = std::find_if(controls.begin(), controls.end(),
                               [&wanted](const VideoControl& c) { return c.key == wanted; });
  return it == controls.end() ? nullptr : &*it;
}

QString FurtherControl::unknown(const QString& key, const std::vector<VideoControl>& controls) {
  QStringList keys;
  for (const VideoControl& control : controls) {
    keys.append(QString::fromStdString(control.key));
  }
  return QStringLiteral("unknown setting \"%1\"; the camera's controls are %2")
      .arg(key.left(64), keys.join(QStringLiteral(", ")));
}

std::optional<std::int64_t> FurtherControl::parse(const VideoControl& control, const QString& text,
                                                  QString* error) {
  const std::optional<std::int64_t> number = ControlSetting::wholeNumber(text);
  switch (control.type) {
    case Type::integer:
      if (number) {
        return fitted(control, *number);
      }
      break;
    case Type::boolean:
      if (text == QLatin1StringView("on") || text == QLatin1StringView("1")) {
        return 1;
      }
      if (text == QLatin1StringView("off") || text == QLatin1StringView("0")) {
        return 0;
      }
      break;
    case Type::menu:
    case Type::integerMenu: {
      const std::string typed = bareName(text.toStdString());
      for (const VideoMenuItem& item : control.menu) {
        if ((!typed.empty() && bareName(item.label) == typed) ||
            (number && *number == item.value)) {
          return item.value;
        }
      }
      break;
    }
  }
  if (error != nullptr) {
    *error = QStringLiteral("%1: \"%2\" is not a value it takes (%3)")
                 .arg(QString::fromStdString(control.key), text.left(64), valuesHelp(control));
  }
  return std::nullopt;
}

QString FurtherControl::valuesHelp(const VideoControl& control) {
  switch (control.type) {
    case Type::integer:
      return QStringLiteral("%1..%2").arg(control.minimum).arg(control.maximum);
    case Type::boolean:
      return QStringLiteral("on|off");
    case Type::menu:
    case Type::integerMenu:
      break;
  }
  QStringList items;
  for (const VideoMenuItem& item : control.menu) {
    items.append(label(item));
  }
  return items.join(u'|');
}

QJsonValue FurtherControl::toJson(const VideoControl& control, std::int64_t value) {
  if (control.type == Type::boolean) {
    return value != 0;
  }
  if (control.type == Type::menu) {
    for (const VideoMenuItem& item : control.menu) {
      if (item.value == value) {
        return label(item);
      }
    }
  }
  return static_cast<qint64>(value);
}

}  // namespace vexhal::control
