#pragma once

#include <QSizeF>
#include <QWidget>
#include <memory>
#include <mutex>

#include "video/preview/QRtcViewMode.h"
#include "video/VideoFrame.h"
#include "video/preview/VideoRenderHandle.h"
#include "video/preview/VideoSurface.h"

namespace vexhal::video {

// A frame view: hands each frame to its drawing surface and tells the surface the frame size
// only when it changes. renderFrame() runs on the capture work queue's thread, everything else
// on the GUI thread.
class QRTCMTLNSVideoView : public QWidget {
 public:
  // Without a surface, the best one the platform offers is made.
  explicit QRTCMTLNSVideoView(QWidget* parent = nullptr,
                              std::unique_ptr<VideoSurface> surface = nullptr);
  ~QRTCMTLNSVideoView() override;

  void renderFrame(std::shared_ptr<const VideoFrame> frame);
  // For callers on other threads that must not outlive the view (the capture delegate).
  std::shared_ptr<VideoRenderHandle> handle() const { return handle_; }

  QRtcViewMode videoContentMode() const { return videoContentMode_; }
  QSizeF renderSize() const;
  VideoSurface& surface() { return *surface_; }

 protected:
  // The first size the view gets counts as the frame size announced so far.
  void resizeEvent(QResizeEvent* event) override;
  void setVideoContentMode(QRtcViewMode mode);

 private:
  std::unique_ptr<VideoSurface> surface_;
  std::shared_ptr<VideoRenderHandle> handle_ = std::make_shared<VideoRenderHandle>(this);
  QRtcViewMode videoContentMode_ = QRtcViewMode::scaleAspectFill;
  mutable std::mutex sizeMutex_;
  QSizeF renderSize_{0, 0};
};

}  // namespace vexhal::video
