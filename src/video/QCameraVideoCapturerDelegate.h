#pragma once

#include <memory>

#include "video/CaptureBackend.h"
#include "video/VideoFrame.h"

namespace vexhal::video {

// Hears what a QCameraVideoCapturer captures. Both methods are optional and run off the GUI
// thread: frames on the capture work queue's thread, failures on the capture thread.
class QCameraVideoCapturerDelegate {
 public:
  virtual ~QCameraVideoCapturerDelegate() = default;

  // `remoteFrame` is always none here; `localFrame` is the captured picture.
  virtual void didOutputFrameWithRemoteFrame(std::shared_ptr<const VideoFrame> /*remoteFrame*/,
                                             std::shared_ptr<const VideoFrame> /*localFrame*/) {}
  // A running capture ended on its own (the device went away or failed).
  virtual void didStopWithError(const CaptureError& /*error*/) {}
};

}  // namespace vexhal::video
