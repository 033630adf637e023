#pragma once

#include <cstdint>
#include <vector>

#include "device/uvc/VideoControl.h"

namespace vexhal {

// Every control of one camera's video node, found by asking the driver rather than from a fixed
// list. Requests are synchronous and made on the calling thread, like the UVC requests.
class VideoControlSet {
 public:
  virtual ~VideoControlSet() = default;

  // The node's controls in the driver's order, without control classes and disabled controls.
  // A control the driver answers with an error is left out and logged; listing goes on.
  virtual std::vector<VideoControl> enumerate() = 0;
  // 0 and the value, or an errno value (ENODEV once the camera has gone).
  virtual int get(std::uint32_t id, std::int64_t& value) = 0;
  // 0, or an errno value (EACCES for a read-only control, ERANGE out of range).
  virtual int set(std::uint32_t id, std::int64_t value) = 0;
};

}  // namespace vexhal
