#pragma once

#include <cstdint>

namespace vexhal {

// One HID set command for the function page to send: which function and its new value.
struct QHIDSetting {
  enum class Field { autoFraming, autoFramingMode, frameMaster, angle, hMirror, pickup };

  Field field;
  std::int64_t value;

  friend bool operator==(const QHIDSetting&, const QHIDSetting&) = default;
};

}  // namespace vexhal
