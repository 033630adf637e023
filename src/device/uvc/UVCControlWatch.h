#pragma once

#include <linux/videodev2.h>

#include <array>
#include <cstdint>
#include <functional>

#include "device/uvc/UVCControlInfo.h"
#include "device/uvc/VideoControlWatch.h"

namespace vexhal {

// The image controls a watch reports: those the program shows.
inline constexpr std::array kUvcWatchedControls{kUvcBrightness, kUvcContrast, kUvcSaturation,
                                                kUvcSharpness};
// The same controls as the video node names them, in the same order.
inline constexpr std::array<std::uint32_t, kUvcWatchedControls.size()> kUvcWatchedControlIds{
    V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION, V4L2_CID_SHARPNESS};

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

  // A listener for a watch on kUvcWatchedControlIds that hands their value changes to
  // `listener`; flag changes alone are passed over.
  static VideoControlWatch::Listener forImageControls(Listener listener) {
    return [listener = std::move(listener)](const VideoControlEvent& event) {
      for (std::size_t i = 0; i < kUvcWatchedControlIds.size(); ++i) {
        if (event.valueChanged && event.id == kUvcWatchedControlIds[i]) {
          listener(kUvcWatchedControls[i], event.value);
        }
      }
    };
  }
};

}  // namespace vexhal
