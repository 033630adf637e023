#pragma once

#include <QMainWindow>
#include <QPointer>

class QToolBar;

namespace vexhal {

// The program's one window: white, with a plain toolbar and no maximise button. Its central
// widget is a fixed content view that holds one screen at a time and carries the overlays.
// Closing the window only hides it; the program keeps running.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  QWidget* contentView() const { return centralWidget(); }
  QWidget* contentViewController() const { return content_; }
  // Shows `screen` in place of the current one, which is destroyed.
  void setContentViewController(QWidget* screen);
  QToolBar* toolBar() const { return toolBar_; }

  // Shows the window (again), restored if minimised, and brings it to the front. A launch's
  // Wayland activation token or X11 startup id, where given, is what lets the desktop raise
  // and focus it for a launch that did not come from the program itself.
  void makeKeyAndOrderFront(const QString& activationToken = {}, const QString& startupId = {});

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QToolBar* toolBar_;
  QPointer<QWidget> content_;
};

}  // namespace vexhal
