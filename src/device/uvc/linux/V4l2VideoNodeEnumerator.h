#pragma once

#include <vector>

#include "device/uvc/linux/V4l2VideoNode.h"

namespace vexhal {

// Lists the video4linux nodes of USB devices through udev, in udev's order (by system path).
class V4l2VideoNodeEnumerator {
 public:
  static std::vector<V4l2VideoNode> list();
};

}  // namespace vexhal
