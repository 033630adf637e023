#pragma once

#include <cstdint>

namespace vexhal::sim {

// What the camera's picture depends on: the image controls (raw UVC values, 0 to 255, 128
// neutral) and the framing functions.
struct PictureSettings {
  std::int32_t brightness = 128;
  std::int32_t contrast = 128;
  std::int32_t saturation = 128;
  std::int32_t sharpness = 128;
  bool mirror = false;
  std::int32_t angle = 120;
  bool autoFraming = false;
  bool peopleBox = false;

  friend bool operator==(const PictureSettings&, const PictureSettings&) = default;
};

}  // namespace vexhal::sim
