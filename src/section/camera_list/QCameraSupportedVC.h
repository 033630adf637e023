#pragma once

#include <QPointer>
#include <QVariantAnimation>

#include "common/QViewController.h"

class QGraphicsOpacityEffect;

namespace vexhal {

// The supported-devices sheet: a panel listing the camera models the program supports, each
// with its product category, over a dimming mask that covers the window of the screen that
// opens it (on a QSheetOverlay, which keeps the window's content from the user meanwhile).
class QCameraSupportedVC : public QViewController {
  Q_OBJECT

 public:
  explicit QCameraSupportedVC(QWidget* parent = nullptr);

  // Lays the sheet over the whole window of `askingScreen` and fades it in.
  void presentOver(QWidget* askingScreen);
  // Fades the sheet out, then removes and destroys it.
  void closeBtnAction();

  qreal maskOpacity() const { return maskOpacity_; }
  qreal panelOpacity() const;
  // The running fade, or null; tests finish it by moving its time to the end.
  QVariantAnimation* fadeAnimation() const { return fade_; }
  QWidget* panel() const { return panel_; }

  static constexpr int rowHeight = 80;
  static constexpr int fadeMs = 300;
  static constexpr qreal dimmedOpacity = 0.5;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fadeTo(qreal target, bool removeWhenDone);
  void setProgress(qreal progress);

  QWidget* panel_;
  QGraphicsOpacityEffect* panelEffect_;
  QPointer<QVariantAnimation> fade_;
  qreal maskOpacity_ = 0;
  qreal progress_ = 0;
  bool closing_ = false;
};

}  // namespace vexhal
