#include "common/UiStyle.h"

#include <QFontDatabase>
#include <QToolButton>

namespace vexhal::ui {

QFont systemFont(int pixelSize, QFont::Weight weight) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

void styleHeaderButton(QToolButton* button, const QColor& text) {
  // The border is always there, clear until focused, so the button keeps its size.
  button->setStyleSheet(QStringLiteral("QToolButton { border: 2px solid transparent; border-radius: 4px;"
                                       " background: transparent; color: %1; }"
                                       "QToolButton:hover { background: %2; }"
                                       "QToolButton:pressed { background: #eaeaea; }"
                                       "QToolButton:focus { border-color: %3; }")
                            .arg(text.name(), paleFill().name(), blue().name()));
}

}  // namespace vexhal::ui
