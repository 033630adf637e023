#include "common/Pictures.h"

#include <QFile>
#include <QGuiApplication>

static void initPictureResources() { Q_INIT_RESOURCE(assets); }

namespace vexhal {
namespace {

QString picturePath(const QString& name, bool doubleDensity = false) {
  static const bool ready = (initPictureResources(), true);
  Q_UNUSED(ready);
  const QString suffix = doubleDensity ? QStringLiteral("@2x.png") : QStringLiteral(".png");
  if (name.startsWith(QLatin1String("launch_"))) {
    return QStringLiteral(":/assets/launch/") + name + suffix;
  }
  return QStringLiteral(":/assets/") + name + suffix;
}

}  // namespace

// On a high-density screen the double-size drawing is used where there is one.
QPixmap picture(const QString& name) {
  if (qApp != nullptr && qApp->devicePixelRatio() > 1.0) {
    QPixmap sharp(picturePath(name, true));
    if (!sharp.isNull()) {
      sharp.setDevicePixelRatio(2.0);
      return sharp;
    }
  }
  return QPixmap(picturePath(name));
}

QIcon pictureIcon(const QString& name) {
  QIcon icon(picturePath(name));
  const QString sharp = picturePath(name, true);
  if (QFile::exists(sharp)) {
    icon.addFile(sharp);
  }
  return icon;
}

}  // namespace vexhal
