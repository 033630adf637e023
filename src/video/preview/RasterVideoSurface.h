#pragma once

#include <QWidget>

#include "video/preview/PresentingSurface.h"

namespace vexhal::video {

// Draws the latest frame with QPainter on the CPU; works on every platform plugin.
class RasterVideoSurface final : public PresentingSurface<QWidget> {
 public:
  explicit RasterVideoSurface(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace vexhal::video
