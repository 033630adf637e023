#pragma once

#include <QSizeF>
#include <QTransform>
#include <memory>

#include "video/preview/QRtcViewMode.h"
#include "video/VideoFrame.h"

class QWidget;

namespace vexhal::video {

// The widget that actually draws: it takes the latest frame and the announced frame size from
// any thread, and draws on the GUI thread with the content mode and transform it was given.
class VideoSurface {
 public:
  virtual ~VideoSurface() = default;

  virtual QWidget* widget() = 0;
  // Any thread. The frame to show; none clears the picture.
  virtual void setVideoFrame(std::shared_ptr<const VideoFrame> frame) = 0;
  // Any thread. The size of the frames to come.
  virtual void setSize(QSizeF size) = 0;
  // GUI thread.
  virtual void setContentMode(QRtcViewMode mode) = 0;
  virtual void setContentTransform(const QTransform& transform) = 0;
};

// An OpenGL surface where an OpenGL context can be made, otherwise a raster one. Setting
// VEXHAL_PREVIEW=raster forces the raster surface (for broken GL drivers). GUI thread only.
std::unique_ptr<VideoSurface> makeVideoSurface();

// Makes the top-level `window`, before it is first shown, draw the way it will once it holds
// an OpenGL surface, so that showing the first one later does not blank the window.
void prepareWindowForVideoSurfaces(QWidget* window);

}  // namespace vexhal::video
