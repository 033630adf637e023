#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "video/QCameraVideoCapturerDelegate.h"
#include "video/FrameTarget.h"

namespace vexhal {

// The control screen's capture delegate: passes each captured frame to the preview that is on
// screen now. Frames arrive on the capture work queue's thread while the GUI thread replaces the
// preview, so the current preview is held by its render handle, which drops frames once its
// view is gone.
class PreviewFrameSink final : public video::QCameraVideoCapturerDelegate {
 public:
  // `stopped` runs on the capture thread when a running capture ends on its own (the video
  // device went away). Set it before any capture starts.
  explicit PreviewFrameSink(std::function<void()> stopped = {}) : stopped_(std::move(stopped)) {}

  // GUI thread: frames from now on go to `handle` (null: nowhere).
  void setRender(std::shared_ptr<video::FrameTarget> handle);
  // Frames handed to a live preview so far.
  std::uint64_t framesRendered() const { return framesRendered_.load(); }

  void didOutputFrameWithRemoteFrame(std::shared_ptr<const video::VideoFrame> remoteFrame,
                                     std::shared_ptr<const video::VideoFrame> localFrame) override;
  void didStopWithError(const video::CaptureError& error) override;

 private:
  std::mutex mutex_;
  std::shared_ptr<video::FrameTarget> handle_;
  std::atomic<std::uint64_t> framesRendered_{0};
  const std::function<void()> stopped_;
};

}  // namespace vexhal
