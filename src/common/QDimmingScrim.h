#pragma once

#include <QWidget>

namespace vexhal {

// A translucent dark layer over a whole window, under a dialog that the window is waiting on;
// without it a window-modal dialog on a desktop without a compositor floats unattached.
class QDimmingScrim : public QWidget {
  Q_OBJECT

 public:
  explicit QDimmingScrim(QWidget* window);

  static QColor color() { return {0, 0, 0, 56}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexhal
