#include "common/QNavigationController.h"

#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QVariant>

#include "common/QViewController.h"

namespace vexhal {
namespace {

constexpr int kSlideMs = 250;

}  // namespace

QNavigationController* navigationControllerOf(const QObject* screen) {
  if (screen == nullptr) {
    return nullptr;
  }
  const QVariant link = screen->property(kNavigationControllerKey);
  if (!link.canConvert<QPointer<QObject>>()) {
    return nullptr;
  }
  return qobject_cast<QNavigationController*>(link.value<QPointer<QObject>>().data());
}

QNavigationController::QNavigationController(QViewController* rootViewController, QWidget* parent)
    : QWidget(parent), root_(rootViewController) {
  Q_ASSERT(rootViewController != nullptr);
  link(rootViewController);
  stack_.append(rootViewController);
  rootViewController->setGeometry(rect());
  rootViewController->show();
}

QList<QViewController*> QNavigationController::viewControllers() const {
  QList<QViewController*> screens;
  for (const QPointer<QViewController>& screen : stack_) {
    if (screen) {
      screens.append(screen.data());
    }
  }
  return screens;
}

QViewController* QNavigationController::topViewController() const {
  const QList<QViewController*> screens = viewControllers();
  return screens.isEmpty() ? root_.data() : screens.last();
}

void QNavigationController::push(QViewController* screen, bool animated) {
  if (screen == nullptr || stack_.contains(screen)) {
    return;
  }
  QViewController* from = topViewController();
  stack_.append(screen);
  link(screen);
  transition(screen, from, animated, true);
}

void QNavigationController::pop(bool animated) {
  if (stack_.size() <= 1) {
    return;
  }
  QViewController* from = stack_.takeLast();
  transition(topViewController(), from, animated, false);
}

void QNavigationController::popToRoot(bool animated) {
  if (stack_.size() <= 1) {
    return;
  }
  QViewController* from = stack_.takeLast();
  while (stack_.size() > 1) {
    release(stack_.takeLast());
  }
  transition(root_, from, animated, false);
}

void QNavigationController::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  for (QViewController* screen : viewControllers()) {
    screen->setGeometry(rect());
  }
}

void QNavigationController::link(QViewController* screen) {
  screen->setParent(this);
  screen->setProperty(kNavigationControllerKey, QVariant::fromValue(QPointer<QObject>(this)));
}

// Makes `to` the visible screen. A forward move leaves `from` hidden in the stack; a backward
// move releases it. Animated moves only slide the widgets: the stack is already updated.
void QNavigationController::transition(QViewController* to, QViewController* from, bool animated,
                                       bool forward) {
  const auto finish = [this, to = QPointer<QViewController>(to),
                       from = QPointer<QViewController>(from), forward] {
    if (from && from != to) {
      from->hide();
      if (!forward) {
        release(from);
      }
    }
    if (to) {
      to->setGeometry(rect());
    }
  };
  to->setGeometry(rect());
  to->show();
  if (!animated || from == nullptr || from == to || !isVisible()) {
    to->raise();
    finish();
    return;
  }
  // Forward: the new screen slides in from the right over the old one. Backward: the old
  // screen slides out to the right, uncovering the one below.
  QViewController* moving = forward ? to : from;
  moving->raise();
  auto* slide = new QPropertyAnimation(moving, "pos", this);
  slide->setDuration(kSlideMs);
  slide->setEasingCurve(QEasingCurve::OutCubic);
  slide->setStartValue(forward ? QPoint(width(), 0) : QPoint(0, 0));
  slide->setEndValue(forward ? QPoint(0, 0) : QPoint(width(), 0));
  connect(slide, &QPropertyAnimation::finished, this, finish);
  slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void QNavigationController::release(QViewController* screen) {
  if (screen == nullptr) {
    return;
  }
  screen->hide();
  screen->deleteLater();
  Q_EMIT screenReleased();
}

}  // namespace vexhal
