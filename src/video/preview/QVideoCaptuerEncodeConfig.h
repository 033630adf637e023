#pragma once

#include <cstdint>

#include "video/preview/QVideoMirrorMode.h"
#include "video/QVideoRatio.h"

namespace vexhal::video {

// A capture set-up as a plain value; capture itself does not read it.
struct QVideoCaptuerEncodeConfig {
  QVideoRatio ratio;
  QVideoMirrorMode mirrorMode = QVideoMirrorMode::disabled;
  std::int64_t fps = 0;

  bool operator==(const QVideoCaptuerEncodeConfig&) const = default;
};

}  // namespace vexhal::video
