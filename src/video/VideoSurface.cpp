#include "video/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include "video/GlVideoSurface.h"
#include "video/RasterVideoSurface.h"

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

}  // namespace

std::unique_ptr<VideoSurface> makeVideoSurface() {
  static const bool gl = openGlUsable();
  if (gl) return std::make_unique<GlVideoSurface>();
  return std::make_unique<RasterVideoSurface>();
}

}  // namespace vexhal::video
