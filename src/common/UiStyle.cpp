#include "common/UiStyle.h"

#include <QFontDatabase>

namespace vexhal::ui {

QFont systemFont(int pixelSize, QFont::Weight weight) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace vexhal::ui
