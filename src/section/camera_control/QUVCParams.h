#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vexhal {

// The image settings that travel as UVC control requests.
struct QUVCParams {
  // The preset the values came from; the raw value is the mode selector's index.
  enum class ImageMode : std::int64_t { standard = 0, bright = 1, vivid = 2, custom = 3 };

  ImageMode mode = ImageMode::standard;
  std::int64_t brightness = 128;
  std::int64_t contrast = 128;
  std::int64_t saturation = 128;
  std::int64_t sharpness = 128;

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
