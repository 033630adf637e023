#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "video/preview/QRtcViewMode.h"
#include "video/preview/QVideoMirrorMode.h"

namespace vexhal::video {

// Where a picture of `content` size lands in `area` under each scaling mode. Aspect-fill may
// reach past the area (the caller clips); an empty content size gives an empty rectangle.
QRectF targetRect(QRtcViewMode mode, const QSizeF& content, const QRectF& area);

bool isMirrored(QVideoMirrorMode mode);

// `transform` applied about the centre of `area` instead of the origin (how a layer's sublayer
// transform acts on its content).
QTransform aboutCentre(const QTransform& transform, const QRectF& area);

}  // namespace vexhal::video
