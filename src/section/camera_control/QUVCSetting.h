#pragma once

#include <cstdint>

namespace vexhal {

// One image value for the image page to send to the camera.
struct QUVCSetting {
  enum class Control { brightness, contrast, saturation, sharpness };

  Control control;
  std::int64_t value;

  friend bool operator==(const QUVCSetting&, const QUVCSetting&) = default;
};

}  // namespace vexhal
