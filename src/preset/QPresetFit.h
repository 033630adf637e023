#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/uvc/VideoControl.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {

// What was changed on the way from a stored value to the camera.
struct QPresetAdjustment {
  enum class Kind { skipped, clamped, scaled };
  std::string key;
  Kind kind = Kind::skipped;
  std::int64_t from = 0;  // the stored value
  std::int64_t to = 0;    // the value sent (nothing is sent when skipped)

  friend bool operator==(const QPresetAdjustment&, const QPresetAdjustment&) = default;
};

// Stored values fitted to one camera's controls: the values to send, in the camera's control
// order, and every adjustment made on the way.
struct QPresetFit {
  struct Setting {
    std::uint32_t id = 0;
    std::string key;
    std::int64_t value = 0;

    friend bool operator==(const Setting&, const Setting&) = default;
  };
  std::vector<Setting> settings;
  std::vector<QPresetAdjustment> adjustments;

  // One line per adjustment for the user ("gain: 300 was out of range, set to 255"); empty
  // when nothing was adjusted.
  QStringList describe() const;
};

// Fits `wanted` to `camera`: a value whose control the camera lacks (or has read-only) is
// skipped, a control whose range changed is scaled by its position in the range, and a value
// outside the camera's range is clamped; values land on the control's step.
QPresetFit fitPreset(const std::map<std::string, QControlValue>& wanted,
                     const std::vector<VideoControl>& camera);

// The camera's controls as values with their ranges, by key, as a preset or record holds them.
std::map<std::string, QControlValue> controlValues(const std::vector<VideoControl>& camera);

}  // namespace vexhal
