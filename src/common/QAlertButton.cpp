#include "common/QAlertButton.h"

#include <QMouseEvent>

#include "common/UiStyle.h"

namespace vexhal {
namespace {

QString rgb(const QColor& color) { return color.name(QColor::HexRgb); }

}  // namespace

QAlertButton::QAlertButton(const QString& title, const QAlertAction::Look& look,
                           const std::optional<QFont>& actionFont, QWidget* parent)
    : QPushButton(title, parent), look_(look) {
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  if (look.font) {
    setFont(*look.font);
  } else if (actionFont) {
    setFont(*actionFont);
  } else {
    setFont(ui::systemFont(12));
  }
  const QString background =
      look.background ? rgb(*look.background) : QStringLiteral("transparent");
  const QString border =
      look.border ? QStringLiteral("1px solid %1").arg(rgb(*look.border)) : QStringLiteral("none");
  // Pressing darkens a filled button and tints a clear one.
  const QString pressed =
      look.background ? rgb(look.background->darker(112)) : QStringLiteral("rgba(0, 0, 0, 14)");
  setStyleSheet(QStringLiteral("QPushButton { background: %1; border: %2; border-radius: 4px;"
                               " color: %3; padding: 0; }"
                               "QPushButton:pressed { background: %4; }"
                               "QPushButton:disabled { color: %5; }")
                    .arg(background, border, rgb(look.title), pressed, rgb(ui::lightBorder())));
}

void QAlertButton::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace vexhal
