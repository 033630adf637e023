#include "video/preview/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLWidget>

#include "video/preview/GlVideoSurface.h"
#include "video/preview/RasterVideoSurface.h"

namespace vexhal::video {
namespace {

bool openGlUsable() {
  if (qEnvironmentVariable("VEXHAL_PREVIEW") == QLatin1String("raster")) return false;
  // These platform plugins have no windowing system to draw GL into.
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  return surface.isValid() && context.makeCurrent(&surface);
}

bool useOpenGl() {
  static const bool gl = openGlUsable();
  return gl;
}

}  // namespace

std::unique_ptr<VideoSurface> makeVideoSurface() {
  if (useOpenGl()) return std::make_unique<GlVideoSurface>();
  return std::make_unique<RasterVideoSurface>();
}

void prepareWindowForVideoSurfaces(QWidget* window) {
  if (!useOpenGl()) return;
  // The first OpenGL widget in a window switches it to composing through OpenGL, which
  // recreates an already shown native window: the window would go black for a moment.
  auto* placeholder = new QOpenGLWidget(window);
  placeholder->setObjectName(QStringLiteral("openGlPlaceholder"));
  placeholder->hide();
}

}  // namespace vexhal::video
