#pragma once

#include <QObject>

class QWidget;

namespace vexhal {

// Keeps an overlay widget covering its parent: sets it to the parent's rectangle now and on
// every resize of the parent.
class QFillParent : public QObject {
  Q_OBJECT

 public:
  static void attach(QWidget* overlay);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit QFillParent(QWidget* overlay);
  QWidget* overlay_;
};

}  // namespace vexhal
