#include "extension/QHudOverlay.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMainWindow>

#include <algorithm>

#include "common/UiStyle.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"

namespace vexhal {
namespace {

const QString kBusyName = QStringLiteral("busyOverlay");
const QString kToastName = QStringLiteral("toastOverlay");
constexpr int kBusyMargin = 20;

// The control the user is working with: the window's focused widget, and the control (a widget
// that takes focus, or a button) under the mouse, when they lie in `view`.
QList<QWidget*> activeControls(QWidget* view) {
  QList<QWidget*> controls;
  if (QWidget* focused = view->window()->focusWidget(); focused && view->isAncestorOf(focused)) {
    controls.append(focused);
  }
  for (QWidget* under = QApplication::widgetAt(QCursor::pos()); under && view->isAncestorOf(under);
       under = under->parentWidget()) {
    if (under->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(under)) {
      controls.append(under);
      break;
    }
  }
  return controls;
}

QProgressHUD* find(QWidget* window, const QString& name) {
  QWidget* view = QHudOverlay::contentView(window);
  if (view == nullptr) {
    return nullptr;
  }
  for (QObject* child : view->children()) {
    auto* hud = qobject_cast<QProgressHUD*>(child);
    if (hud != nullptr && hud->objectName() == name && !hud->isHidden()) {
      return hud;
    }
  }
  return nullptr;
}

}  // namespace

QWidget* QHudOverlay::contentView(QWidget* window) {
  if (window == nullptr) {
    return nullptr;
  }
  QWidget* top = window->window();
  if (auto* main = qobject_cast<QMainWindow*>(top); main != nullptr && main->centralWidget()) {
    return main->centralWidget();
  }
  return top;
}

QProgressHUD* QHudOverlay::showBusy(QWidget* window) {
  if (QProgressHUD* existing = busyOverlay(window)) {
    return existing;
  }
  QWidget* view = contentView(window);
  if (view == nullptr) {
    return nullptr;
  }
  auto* hud = new QProgressHUD(view);
  hud->setObjectName(kBusyName);
  hud->setBezelColor(QColor(0, 0, 0, 153));
  hud->setLabelFont(ui::systemFont(12));
  hud->setLabelColor(Qt::white);
  hud->setMargin(kBusyMargin);
  hud->setMode(QProgressHUD::Mode::indeterminate);
  hud->show();
  hud->raise();
  return hud;
}

QProgressHUD* QHudOverlay::busyOverlay(QWidget* window) { return find(window, kBusyName); }

void QHudOverlay::hideBusy(QWidget* window) {
  if (QProgressHUD* hud = busyOverlay(window)) {
    hud->hideAnimated(false);
  }
}

QProgressHUD* QHudOverlay::showToast(QWidget* window, const std::optional<QString>& text,
                                     const Scheduler& scheduler, double seconds) {
  if (!text || text->isEmpty()) {
    return nullptr;
  }
  QWidget* view = contentView(window);
  if (view == nullptr) {
    return nullptr;
  }
  if (QProgressHUD* previous = toast(window)) {
    previous->hideAnimated(false);
  }
  auto* hud = new QProgressHUD(view);
  hud->setObjectName(kToastName);
  hud->setMargin(0);
  hud->setBezelColor(Qt::transparent);
  hud->setMinSize(QSize(QToastView::minSize, QToastView::minSize));
  hud->setCustomView(new QToastView(*text));
  hud->setMode(QProgressHUD::Mode::customView);
  hud->setBlocksInput(false);
  // Centred, unless that covers the control that led to the toast.
  hud->setAvoidedWidgets(activeControls(view));
  hud->show();
  hud->raise();
  hud->hideAfterDelay(seconds, scheduler);
  return hud;
}

QProgressHUD* QHudOverlay::toast(QWidget* window) { return find(window, kToastName); }

QBusyClaim::~QBusyClaim() {
  if (running_ > 0 && hud_) {
    hud_->hideAnimated(false);
  }
}

void QBusyClaim::show(QWidget* screen) {
  hud_ = QHudOverlay::showBusy(screen);
  if (hud_) {
    hud_->setMargin(kBusyMargin);
    hud_->setMode(QProgressHUD::Mode::indeterminate);
  }
  ++running_;
}

void QBusyClaim::done() {
  running_ = std::max(0, running_ - 1);
  if (hud_) {
    hud_->hideAnimated(false);
  }
}

}  // namespace vexhal
