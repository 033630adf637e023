#pragma once

#include <cstdint>

#include "video/VideoSample.h"

namespace vexhal::video {

// A captured picture on its way to the preview: the sample itself (not copied), its rotation in
// degrees and the monotonic time, in nanoseconds, at which it was handed on.
class VideoFrame {
 public:
  VideoFrame(VideoSample buffer, int rotation, std::int64_t timeStampNs)
      : buffer_(std::move(buffer)), rotation_(rotation), timeStampNs_(timeStampNs) {}

  const VideoSample& buffer() const { return buffer_; }
  int rotation() const { return rotation_; }
  std::int64_t timeStampNs() const { return timeStampNs_; }

 private:
  VideoSample buffer_;
  int rotation_ = 0;
  std::int64_t timeStampNs_ = 0;
};

}  // namespace vexhal::video
