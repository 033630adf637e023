#pragma once

#include <cstdint>

namespace vexhal::sim {

// The framing and audio functions the camera keeps, as the HID commands read and write them.
struct CameraFunctions {
  bool autoFraming = true;
  std::int8_t autoFramingMode = 0;  // 0 meeting, 1 single person
  bool frameMaster = false;         // people-box tracking
  std::int8_t angle = 120;          // field of view in degrees: 60, 90 or 120
  bool hMirror = false;
  std::int8_t pickup = 50;  // audio pick-up range, 0 to 100

  friend bool operator==(const CameraFunctions&, const CameraFunctions&) = default;
};

}  // namespace vexhal::sim
