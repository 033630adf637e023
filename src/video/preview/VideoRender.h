#pragma once

#include "video/preview/QRTCMTLNSVideoView.h"

namespace vexhal::video {

// The preview's frame view, with the scaling mode the screen chooses.
class VideoRender final : public QRTCMTLNSVideoView {
 public:
  using QRTCMTLNSVideoView::QRTCMTLNSVideoView;

  QRtcViewMode renderMode = QRtcViewMode::scaleAspectFit;

  // Makes `renderMode` the mode the picture is drawn with.
  void applyRenderMode() { setVideoContentMode(renderMode); }
};

}  // namespace vexhal::video
