#include "section/camera_control/PreviewGridOverlay.h"

#include <QPainter>

namespace vexhal {

PreviewGridOverlay::PreviewGridOverlay(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

void PreviewGridOverlay::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  for (const QColor& color : {QColor(0, 0, 0, 70), QColor(255, 255, 255, 170)}) {
    // The dark pass sits one pixel right and down of the light one, as a shadow.
    const qreal shift = color.lightness() < 128 ? 1.0 : 0.0;
    painter.setPen(QPen(color, 1.0));
    for (int i = 1; i < 3; ++i) {
      const qreal x = area.left() + area.width() * i / 3.0 + shift;
      const qreal y = area.top() + area.height() * i / 3.0 + shift;
      painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
      painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
  }
}

}  // namespace vexhal
