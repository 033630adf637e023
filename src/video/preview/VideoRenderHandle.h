#pragma once

#include <memory>
#include <mutex>

#include "video/FrameTarget.h"

namespace vexhal::video {

class QRTCMTLNSVideoView;

// How the capture work queue reaches a frame view that the GUI thread may replace or destroy at
// any moment: the handle outlives its view and drops frames once the view is gone. A view being
// destroyed waits for a frame that is being handed over (one decode at most).
class VideoRenderHandle final : public FrameTarget {
 public:
  explicit VideoRenderHandle(QRTCMTLNSVideoView* view) : view_(view) {}

  // Any thread. False when the view is gone and the frame was dropped.
  bool renderFrame(std::shared_ptr<const VideoFrame> frame) override;

 private:
  friend class QRTCMTLNSVideoView;
  void detach();

  std::mutex mutex_;
  QRTCMTLNSVideoView* view_;
};

}  // namespace vexhal::video
