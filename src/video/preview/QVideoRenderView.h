#pragma once

#include <QTransform>
#include <QWidget>

#include "video/preview/QRtcViewMode.h"
#include "video/preview/QVideoMirrorMode.h"
#include "video/preview/VideoRender.h"

namespace vexhal::video {

// The preview area: holds one VideoRender filling it and can show its content mirrored.
// GUI thread, except renderView()->renderFrame().
class QVideoRenderView final : public QWidget {
 public:
  explicit QVideoRenderView(QWidget* parent = nullptr,
                            std::unique_ptr<VideoSurface> surface = nullptr);

  VideoRender* renderView() const { return renderView_; }

  QVideoMirrorMode mirrorMode = QVideoMirrorMode::disabled;
  QRtcViewMode renderMode = QRtcViewMode::scaleAspectFit;

  // Shows the content flipped left to right about its centre unless mirroring is disabled.
  // Layouts keep the view's geometry, so unlike a layer no position needs fixing here, and the
  // flip need not be re-applied after a resize.
  void applyTransform();

  // A flip about the vertical axis.
  const QTransform& rotateTransform() const { return rotateTransform_; }
  // What the content is drawn with now: rotateTransform() or the identity.
  const QTransform& sublayerTransform() const { return sublayerTransform_; }

 private:
  const QTransform rotateTransform_ = QTransform::fromScale(-1, 1);
  VideoRender* renderView_ = nullptr;
  QTransform sublayerTransform_;
};

}  // namespace vexhal::video
