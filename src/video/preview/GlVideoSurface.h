#pragma once

#include <QOpenGLWidget>

#include "video/preview/PresentingSurface.h"

namespace vexhal::video {

// Draws the latest frame through OpenGL: the picture becomes a texture that the GPU scales.
class GlVideoSurface final : public PresentingSurface<QOpenGLWidget> {
 public:
  explicit GlVideoSurface(QWidget* parent = nullptr);

 protected:
  void paintGL() override;
  void resizeGL(int width, int height) override;
};

}  // namespace vexhal::video
