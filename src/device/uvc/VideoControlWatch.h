#pragma once

#include <cstdint>
#include <functional>

namespace vexhal {

// A change of one control, made through another handle of the camera (another program's, or
// another channel of this one), or a change of its flags (an automatic mode switched).
struct VideoControlEvent {
  std::uint32_t id = 0;
  std::int64_t value = 0;
  bool inactive = false;
  bool readOnly = false;
  bool valueChanged = false;
  bool flagsChanged = false;
};

// Watches chosen controls of one camera and reports each event to its owner on the main thread.
// Ends quietly when the camera goes; destroying it stops every report.
class VideoControlWatch {
 public:
  // It must not destroy the watch.
  using Listener = std::function<void(const VideoControlEvent& event)>;

  virtual ~VideoControlWatch() = default;

  // False once the camera has gone; nothing is reported after that.
  virtual bool isWatching() const = 0;
};

}  // namespace vexhal
