#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace vexhal {

// The program's own pictures, compiled in: picture("empty_noCamera"), picture("launch_7").
// An unknown name gives a null pixmap.
QPixmap picture(const QString& name);
QIcon pictureIcon(const QString& name);

}  // namespace vexhal
