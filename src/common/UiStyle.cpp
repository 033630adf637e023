#include "common/UiStyle.h"

#include <QFontDatabase>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace vexhal::ui {

QFont systemFont(int pixelSize, QFont::Weight weight) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

double contrastRatio(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto channel = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void styleHeaderButton(QToolButton* button, const QColor& text) {
  // The border is always there, clear until focused, so the button keeps its size.
  button->setStyleSheet(
      QStringLiteral("QToolButton { border: 2px solid transparent; border-radius: 4px;"
                     " background: transparent; color: %1; }"
                     "QToolButton:hover { background: %2; }"
                     "QToolButton:pressed { background: #eaeaea; }"
                     "QToolButton:focus { border-color: %3; }")
          .arg(text.name(), paleFill().name(), blue().name()));
}

QString whiteScrollBarStyleSheet() {
  return QStringLiteral(
      "QScrollBar:vertical { background: white; width: 10px; margin: 0; }"
      " QScrollBar::handle:vertical { background: #8c8c8c; border-radius: 3px; min-height: 24px; "
      "margin: 2px; }"
      " QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      " QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
}

}  // namespace vexhal::ui
