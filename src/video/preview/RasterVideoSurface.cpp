#include "video/preview/RasterVideoSurface.h"

#include <QPainter>

namespace vexhal::video {

RasterVideoSurface::RasterVideoSurface(QWidget* parent) : PresentingSurface<QWidget>(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void RasterVideoSurface::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  presenter_.paint(painter, rect());
}

void RasterVideoSurface::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  presenter_.setArea(QSizeF(size()) * devicePixelRatioF());
}

}  // namespace vexhal::video
