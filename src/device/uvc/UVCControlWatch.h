#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "device/uvc/UVCControlInfo.h"

namespace vexhal {

// The image controls a watch reports: those the program shows.
inline constexpr std::array kUvcWatchedControls{kUvcBrightness, kUvcContrast, kUvcSaturation,
                                                kUvcSharpness};

// Watches one camera's image controls and reports each change made through another handle of
// the camera (another program's, or another channel of this one) to its owner on the main
// thread. The watch ends quietly when the camera goes; destroying it stops every report.
class UVCControlWatch {
 public:
  // Which control changed and its new value. It must not destroy the watch.
  using Listener = std::function<void(const UVCControlInfo& control, std::int64_t value)>;

  virtual ~UVCControlWatch() = default;

  // False once the camera has gone; nothing is reported after that.
  virtual bool isWatching() const = 0;
};

}  // namespace vexhal
