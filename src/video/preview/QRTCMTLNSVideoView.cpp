#include "video/preview/QRTCMTLNSVideoView.h"

#include <QResizeEvent>
#include <QVBoxLayout>

namespace vexhal::video {

QRTCMTLNSVideoView::QRTCMTLNSVideoView(QWidget* parent, std::unique_ptr<VideoSurface> surface)
    : QWidget(parent), surface_(surface ? std::move(surface) : makeVideoSurface()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(surface_->widget());
  surface_->setContentMode(videoContentMode_);
}

QRTCMTLNSVideoView::~QRTCMTLNSVideoView() {
  handle_->detach();
  // The surface widget is owned by surface_, not by Qt's parent chain.
  surface_->widget()->setParent(nullptr);
}

void QRTCMTLNSVideoView::renderFrame(std::shared_ptr<const VideoFrame> frame) {
  const bool hasFrame = frame != nullptr;
  QSizeF size;
  if (hasFrame) size = QSizeF(frame->buffer().width, frame->buffer().height);
  surface_->setVideoFrame(std::move(frame));
  if (!hasFrame) return;
  const std::lock_guard lock(sizeMutex_);
  if (size == renderSize_) return;
  surface_->setSize(size);
  renderSize_ = size;
}

QSizeF QRTCMTLNSVideoView::renderSize() const {
  const std::lock_guard lock(sizeMutex_);
  return renderSize_;
}

void QRTCMTLNSVideoView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const std::lock_guard lock(sizeMutex_);
  if (renderSize_.width() == 0 && renderSize_.height() == 0) renderSize_ = QSizeF(event->size());
}

void QRTCMTLNSVideoView::setVideoContentMode(QRtcViewMode mode) {
  videoContentMode_ = mode;
  surface_->setContentMode(mode);
}

}  // namespace vexhal::video
