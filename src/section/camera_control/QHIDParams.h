#pragma once

#include <cstdint>

namespace vexhal {

// The camera functions that travel over the vendor HID protocol. The member defaults are the
// record used before the camera has answered, and the factory values a reset sends.
struct QHIDParams {
  bool autoFraming = true;           // intelligent auto framing
  std::int64_t autoFramingMode = 0;  // 0 meeting, 1 single person
  bool frameMaster = false;          // people-box tracking
  std::int64_t angle = 120;          // field of view in degrees: 60, 90 or 120
  bool hMirror = false;              // horizontal mirror
  std::int64_t pickup = 50;          // audio pick-up range: 30 low, 50 medium, 80 high

  static constexpr QHIDParams defaultParams() { return {}; }

  // The camera frames intelligently while either tracking function is on.
  constexpr bool isIntelligent() const { return autoFraming || frameMaster; }

  friend bool operator==(const QHIDParams&, const QHIDParams&) = default;
};

}  // namespace vexhal
