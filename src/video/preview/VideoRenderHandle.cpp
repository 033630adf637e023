#include "video/preview/VideoRenderHandle.h"

#include "video/preview/QRTCMTLNSVideoView.h"

namespace vexhal::video {

bool VideoRenderHandle::renderFrame(std::shared_ptr<const VideoFrame> frame) {
  const std::lock_guard lock(mutex_);
  if (view_ == nullptr) return false;
  view_->renderFrame(std::move(frame));
  return true;
}

void VideoRenderHandle::detach() {
  const std::lock_guard lock(mutex_);
  view_ = nullptr;
}

}  // namespace vexhal::video
