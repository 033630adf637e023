#pragma once

#include <QToolButton>

#include <functional>

#include "common/QViewController.h"
#include "platform/Platform.h"

namespace vexhal {

class Menu;
class QNavigationController;

// The root of the main window: a header with the "more" button and its menu ("About",
// "Quit"), and below it the inner stack on which every further screen is pushed.
class QRootVC : public QViewController {
  Q_OBJECT

 public:
  explicit QRootVC(Platform& platform, QWidget* parent = nullptr);

  QWidget* headerView() const { return headerView_; }
  QToolButton* moreBtn() const { return moreBtn_; }
  Menu* myMenu() const { return myMenu_; }
  QNavigationController* navVC() const { return navVC_; }

  void moreBtnAction(QWidget* sender);
  void aboutMenuAction();
  void exitMenuAction();

  // What "Quit" does; the application quits unless a test says otherwise.
  void setQuitHandler(std::function<void()> handler);

  static constexpr int headerHeight = 56;

 private:
  QWidget* headerView_;
  QToolButton* moreBtn_;
  Menu* myMenu_;
  Platform& platform_;
  QNavigationController* navVC_;
  std::function<void()> quitHandler_;
};

}  // namespace vexhal
