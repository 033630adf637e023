#include "video/preview/GlVideoSurface.h"

#include <QPainter>

namespace vexhal::video {

GlVideoSurface::GlVideoSurface(QWidget* parent) : PresentingSurface<QOpenGLWidget>(parent) {}

void GlVideoSurface::paintGL() {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  presenter_.paint(painter, rect());
}

void GlVideoSurface::resizeGL(int width, int height) {
  presenter_.setArea(QSizeF(width, height) * devicePixelRatioF());
}

}  // namespace vexhal::video
