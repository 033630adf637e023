#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace vexhal {

class QNavigationController;
class QViewController;

// Dynamic property under which a screen keeps a non-owning link to its stack.
inline constexpr const char* kNavigationControllerKey = "kNavigationControllerKey";

// A screen's stack: the object under kNavigationControllerKey if it is a
// QNavigationController, else null.
QNavigationController* navigationControllerOf(const QObject* screen);

// A stack of screens inside one widget: the root at the bottom, pushed screens above it, the
// top one visible and filling the container. The container owns its screens; a screen popped
// off the stack is destroyed (deferred to the event loop, since a screen often pops itself
// from one of its own slots).
class QNavigationController : public QWidget {
  Q_OBJECT

 public:
  explicit QNavigationController(QViewController* rootViewController, QWidget* parent = nullptr);

  QViewController* rootViewController() const { return root_; }
  // The stack, root first; the last entry is the top screen.
  QList<QViewController*> viewControllers() const;
  QViewController* topViewController() const;

  // Puts `screen` on top. An animated push slides it in from the right.
  void push(QViewController* screen, bool animated = false);
  // Removes the top screen. The root alone stays where it is.
  void pop(bool animated = false);
  // Removes every screen above the root.
  void popToRoot(bool animated = false);

 Q_SIGNALS:
  // A screen left the stack; it is destroyed when the event loop next runs.
  void screenReleased();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void link(QViewController* screen);
  void transition(QViewController* to, QViewController* from, bool animated, bool forward);
  void release(QViewController* screen);

  QPointer<QViewController> root_;
  QList<QPointer<QViewController>> stack_;
};

}  // namespace vexhal
