#include "preset/QPresetFit.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace vexhal {
namespace {

using Kind = QPresetAdjustment::Kind;

// The value's position in the stored range, put at the same position in the camera's range, on
// the camera's step grid and inside its range. Long double keeps 64-bit products exact enough.
std::int64_t scaled(const QControlValue& stored, const VideoControl& control) {
  const std::int64_t step = std::max<std::int64_t>(control.step, 1);
  const long double position = static_cast<long double>(stored.value - stored.minimum) /
                               static_cast<long double>(stored.maximum - stored.minimum);
  const long double range = static_cast<long double>(control.maximum - control.minimum);
  const auto offset = static_cast<std::int64_t>(std::llround(position * range));
  const std::int64_t onGrid =
      control.minimum + static_cast<std::int64_t>(std::llround(static_cast<long double>(offset) /
                                                               static_cast<long double>(step))) *
                            step;
  return std::clamp(onGrid, control.minimum, control.maximum);
}

bool offersItem(const VideoControl& control, std::int64_t value) {
  return std::any_of(control.menu.begin(), control.menu.end(),
                     [value](const VideoMenuItem& item) { return item.value == value; });
}

// The value to send for `stored` on `control` and how it was changed, or nothing when it
// cannot be sent at all.
std::optional<std::pair<std::int64_t, std::optional<Kind>>> fitOne(const QControlValue& stored,
                                                                   const VideoControl& control) {
  using Result = std::pair<std::int64_t, std::optional<Kind>>;
  const std::int64_t v = stored.value;
  switch (control.type) {
    case VideoControl::Type::boolean: {
      const std::int64_t flag = v != 0 ? 1 : 0;
      return Result{flag, flag == v ? std::nullopt : std::optional<Kind>(Kind::clamped)};
    }
    case VideoControl::Type::menu:
    case VideoControl::Type::integerMenu:
      // An item is a choice, not an amount: another camera's item number means something else.
      if (offersItem(control, v)) return Result{v, std::nullopt};
      return std::nullopt;
    case VideoControl::Type::integer:
      break;
  }
  const bool rangeChanged = stored.minimum != control.minimum || stored.maximum != control.maximum;
  if (rangeChanged && stored.maximum > stored.minimum) {
    const std::int64_t to = scaled(stored, control);
    return Result{to, to == v ? std::nullopt : std::optional<Kind>(Kind::scaled)};
  }
  const std::int64_t to = std::clamp(v, control.minimum, control.maximum);
  return Result{to, to == v ? std::nullopt : std::optional<Kind>(Kind::clamped)};
}

}  // namespace

QStringList QPresetFit::describe() const {
  QStringList lines;
  for (const QPresetAdjustment& a : adjustments) {
    const QString key = QString::fromStdString(a.key);
    switch (a.kind) {
      case Kind::skipped:
        lines << QStringLiteral(
                     "%1: %2 was skipped, this camera does not offer that control or "
                     "setting")
                     .arg(key)
                     .arg(a.from);
        break;
      case Kind::clamped:
        lines
            << QStringLiteral("%1: %2 was out of range, set to %3").arg(key).arg(a.from).arg(a.to);
        break;
      case Kind::scaled:
        lines << QStringLiteral("%1: %2 was scaled to %3 for this camera's range")
                     .arg(key)
                     .arg(a.from)
                     .arg(a.to);
        break;
    }
  }
  return lines;
}

QPresetFit fitPreset(const std::map<std::string, QControlValue>& wanted,
                     const std::vector<VideoControl>& camera) {
  QPresetFit fit;
  std::set<std::string> found;
  for (const VideoControl& control : camera) {
    const auto it = wanted.find(control.key);
    if (it == wanted.end() || control.readOnly || !found.insert(control.key).second) {
      continue;
    }
    const auto value = fitOne(it->second, control);
    if (!value) {
      fit.adjustments.push_back({control.key, Kind::skipped, it->second.value, 0});
      continue;
    }
    fit.settings.push_back({control.id, control.key, value->first});
    if (value->second) {
      fit.adjustments.push_back({control.key, *value->second, it->second.value, value->first});
    }
  }
  for (const auto& [key, stored] : wanted) {
    if (found.count(key) == 0) {
      fit.adjustments.push_back({key, Kind::skipped, stored.value, 0});
    }
  }
  // Automatic modes go first, so that switching one off frees the manual controls it owns before
  // they are set; a control its mode leaves inactive is still sent, after it.
  std::set<std::uint32_t> automatic;
  for (const VideoControl& control : camera) {
    if (const auto owner = owningAutomaticControl(control.id)) automatic.insert(*owner);
  }
  std::stable_partition(
      fit.settings.begin(), fit.settings.end(),
      [&automatic](const QPresetFit::Setting& s) { return automatic.count(s.id) != 0; });
  return fit;
}

std::map<std::string, QControlValue> controlValues(const std::vector<VideoControl>& camera) {
  std::map<std::string, QControlValue> values;
  for (const VideoControl& control : camera) {
    if (!control.readOnly) {
      values.emplace(control.key, QControlValue{control.value, control.minimum, control.maximum,
                                                control.step, control.defaultValue});
    }
  }
  return values;
}

}  // namespace vexhal
