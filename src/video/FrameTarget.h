#pragma once

#include <memory>

#include "video/VideoFrame.h"

namespace vexhal::video {

// Where captured frames go: the capture side knows only this, the preview implements it.
class FrameTarget {
 public:
  virtual ~FrameTarget() = default;
  // Any thread. False when the frame was dropped (the target is gone).
  virtual bool renderFrame(std::shared_ptr<const VideoFrame> frame) = 0;
};

}  // namespace vexhal::video
