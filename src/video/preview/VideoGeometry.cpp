#include "video/preview/VideoGeometry.h"

#include <algorithm>

namespace vexhal::video {

QRectF targetRect(QRtcViewMode mode, const QSizeF& content, const QRectF& area) {
  if (content.width() <= 0 || content.height() <= 0 || area.isEmpty()) return {};
  if (mode == QRtcViewMode::scaleToFill) return area;
  const double scaleX = area.width() / content.width();
  const double scaleY = area.height() / content.height();
  const double scale =
      mode == QRtcViewMode::scaleAspectFill ? std::max(scaleX, scaleY) : std::min(scaleX, scaleY);
  QRectF rect(QPointF(), content * scale);
  rect.moveCenter(area.center());
  return rect;
}

bool isMirrored(QVideoMirrorMode mode) { return mode != QVideoMirrorMode::disabled; }

QTransform aboutCentre(const QTransform& transform, const QRectF& area) {
  const QPointF centre = area.center();
  return QTransform::fromTranslate(-centre.x(), -centre.y()) * transform *
         QTransform::fromTranslate(centre.x(), centre.y());
}

}  // namespace vexhal::video
