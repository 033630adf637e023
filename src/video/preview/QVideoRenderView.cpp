#include "video/preview/QVideoRenderView.h"

#include <QVBoxLayout>

#include "video/preview/VideoGeometry.h"

namespace vexhal::video {

QVideoRenderView::QVideoRenderView(QWidget* parent, std::unique_ptr<VideoSurface> surface)
    : QWidget(parent), renderView_(new VideoRender(this, std::move(surface))) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(renderView_);
}

void QVideoRenderView::applyTransform() {
  sublayerTransform_ = isMirrored(mirrorMode) ? rotateTransform_ : QTransform();
  // Like a sublayer transform, the surface applies it about the centre of what it draws.
  renderView_->surface().setContentTransform(sublayerTransform_);
}

}  // namespace vexhal::video
