#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace vexhal {

// A control's value with the range the camera gave it when the value was taken, so that the
// value can be fitted to a camera whose range differs.
struct QControlValue {
  std::int64_t value = 0;
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
  std::int64_t step = 1;
  std::int64_t defaultValue = 0;

  friend bool operator==(const QControlValue&, const QControlValue&) = default;
};

// The image settings that travel as UVC control requests.
struct QUVCParams {
  // The preset the values came from; the raw value is the mode selector's index.
  enum class ImageMode : std::int64_t { standard = 0, bright = 1, vivid = 2, custom = 3 };

  QUVCParams() = default;
  // Not an aggregate, so that the four values can be given without the further controls.
  QUVCParams(ImageMode mode_, std::int64_t brightness_, std::int64_t contrast_,
             std::int64_t saturation_, std::int64_t sharpness_,
             std::map<std::string, QControlValue> further_ = {})
      : mode(mode_),
        brightness(brightness_),
        contrast(contrast_),
        saturation(saturation_),
        sharpness(sharpness_),
        further(std::move(further_)) {}

  ImageMode mode = ImageMode::standard;
  std::int64_t brightness = 128;
  std::int64_t contrast = 128;
  std::int64_t saturation = 128;
  std::int64_t sharpness = 128;
  // The camera's further image controls (those beyond the four above), by control key.
  std::map<std::string, QControlValue> further;

  // The mode with this raw value, or nothing.
  static std::optional<ImageMode> imageMode(std::int64_t rawValue);
  static std::int64_t rawValue(ImageMode mode) { return static_cast<std::int64_t>(mode); }
  static QString label(ImageMode mode);
  // The mode selector's items, in raw value order.
  static QStringList modeLabels();

  // The values a mode sends to the camera; custom's row travels with the mode but is not
  // applied.
  static QUVCParams preset(ImageMode mode);
  // Standard with 128 for every value.
  static QUVCParams defaultParams() { return {}; }

  friend bool operator==(const QUVCParams&, const QUVCParams&) = default;
};

}  // namespace vexhal
