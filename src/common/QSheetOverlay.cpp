#include "common/QSheetOverlay.h"

#include <QEvent>
#include <QPainter>

#include "common/QFillParent.h"

namespace vexhal {
namespace {

bool takesTab(const QWidget* widget) {
  return (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisible() && widget->isEnabled();
}

// The sheet's next (or previous) control after `from` in the focus chain that takes Tab, or null.
QWidget* tabStop(const QWidget* sheet, QWidget* from, bool next) {
  for (QWidget* candidate = next ? from->nextInFocusChain() : from->previousInFocusChain();
       candidate != from;
       candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain()) {
    if (sheet->isAncestorOf(candidate) && takesTab(candidate)) {
      return candidate;
    }
  }
  return nullptr;
}

}  // namespace

QSheetOverlay* QSheetOverlay::present(QWidget* sheet, QWidget* askingScreen) {
  QWidget* window = askingScreen != nullptr ? askingScreen->window() : nullptr;
  if (sheet == nullptr || window == nullptr || window == sheet) {
    return nullptr;
  }
  return new QSheetOverlay(window, sheet);
}

QSheetOverlay* QSheetOverlay::of(const QWidget* sheet) {
  return sheet != nullptr ? qobject_cast<QSheetOverlay*>(sheet->parentWidget()) : nullptr;
}

QSheetOverlay::QSheetOverlay(QWidget* window, QWidget* sheet)
    : QWidget(window), sheet_(sheet), sheetObject_(sheet), previousFocus_(window->focusWidget()) {
  setObjectName(QStringLiteral("sheetOverlay"));
  QFillParent::attach(this);
  sheet->setParent(this, Qt::Widget);
  sheet->installEventFilter(this);
  // Placed before it is shown: a dialog left unplaced would place itself by screen coordinates.
  sheet->adjustSize();
  centreSheet();
  show();
  raise();
  sheet->show();
  if (QWidget* first = tabStop(sheet, sheet, true)) {
    first->setFocus(Qt::TabFocusReason);
  } else {
    sheet->setFocus(Qt::OtherFocusReason);
  }
}

void QSheetOverlay::centreSheet() {
  if (sheet_) {
    sheet_->move((width() - sheet_->width()) / 2, (height() - sheet_->height()) / 2);
  }
}

void QSheetOverlay::leave() {
  if (closed_) {
    return;
  }
  closed_ = true;
  // The keyboard goes back unless something else, shown meanwhile, has taken it.
  QWidget* focused = window()->focusWidget();
  const bool sheetHadFocus = focused == nullptr || focused == this || isAncestorOf(focused);
  hide();
  if (sheetHadFocus && previousFocus_ && previousFocus_->isVisible()) {
    previousFocus_->setFocus(Qt::OtherFocusReason);
  }
  deleteLater();
}

bool QSheetOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sheet_) {
    if (event->type() == QEvent::Resize) {
      centreSheet();
    } else if (event->type() == QEvent::HideToParent) {
      leave();
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool QSheetOverlay::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      centreSheet();
      break;
    case QEvent::ChildRemoved:
      if (static_cast<QChildEvent*>(event)->child() == sheetObject_) {
        leave();
      }
      break;
    // What the sheet leaves of the user's input ends here, short of the content below.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      event->accept();
      return true;
    default:
      break;
  }
  return QWidget::event(event);
}

// Tab and Backtab go round the sheet's own controls.
bool QSheetOverlay::focusNextPrevChild(bool next) {
  if (!sheet_) {
    return false;
  }
  QWidget* focused = window()->focusWidget();
  QWidget* current = sheet_->isAncestorOf(focused) ? focused : sheet_.data();
  if (QWidget* candidate = tabStop(sheet_, current, next)) {
    candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  }
  return true;
}

void QSheetOverlay::setDimming(const QColor& dimming) {
  dimming_ = dimming;
  update();
}

void QSheetOverlay::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), dimming_); }

}  // namespace vexhal
