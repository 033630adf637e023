#include "section/camera_control/PreviewFrameSink.h"

namespace vexhal {

void PreviewFrameSink::setRender(std::shared_ptr<video::FrameTarget> handle) {
  const std::lock_guard lock(mutex_);
  handle_ = std::move(handle);
}

void PreviewFrameSink::didOutputFrameWithRemoteFrame(
    std::shared_ptr<const video::VideoFrame> /*remoteFrame*/,
    std::shared_ptr<const video::VideoFrame> localFrame) {
  if (!localFrame) {
    return;
  }
  std::shared_ptr<video::FrameTarget> handle;
  {
    const std::lock_guard lock(mutex_);
    handle = handle_;
  }
  if (handle && handle->renderFrame(std::move(localFrame))) {
    framesRendered_.fetch_add(1);
  }
}

void PreviewFrameSink::didStopWithError(const video::CaptureError& /*error*/) {
  if (stopped_) {
    stopped_();
  }
}

}  // namespace vexhal
