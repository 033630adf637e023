#include "common/Pictures.h"

#include <QFile>

static void initPictureResources() {
  Q_INIT_RESOURCE(assets);
}

namespace vexhal {
namespace {

QString picturePath(const QString& name) {
  static const bool ready = (initPictureResources(), true);
  Q_UNUSED(ready);
  if (name.startsWith(QLatin1String("launch_"))) {
    return QStringLiteral(":/assets/launch/%1.png").arg(name);
  }
  return QStringLiteral(":/assets/%1.png").arg(name);
}

}  // namespace

QPixmap picture(const QString& name) {
  return QPixmap(picturePath(name));
}

QIcon pictureIcon(const QString& name) {
  return QIcon(picturePath(name));
}

}  // namespace vexhal
