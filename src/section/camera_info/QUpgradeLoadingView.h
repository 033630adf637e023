#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace vexhal {

// The overlay that covers the whole main window, toolbar included, while firmware is installed:
// black at 50 % opacity, swallowing every click and, holding the keyboard focus, every key, with
// a turning picture (frames "upgrade_0" to "upgrade_13", one second per turn) and a line telling
// the user to wait.
class QUpgradeLoadingView : public QWidget {
  Q_OBJECT

 public:
  explicit QUpgradeLoadingView(QWidget* parent = nullptr);

  void startLoading();
  void stopLoading();
  bool isLoading() const { return frameTimer_.isActive(); }
  int currentFrame() const { return frame_; }
  QLabel* messageLabel() const { return messageLabel_; }
  QLabel* imageLabel() const { return imageLabel_; }
  // Keeps the picture and the message below `widget`, the lowest text of the screen under the
  // overlay, which shows through it.
  void keepClearOf(QWidget* widget);

  static constexpr int frameCount = 14;
  static constexpr int cycleMs = 1000;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void showFrame(int frame);
  void placeContent();

  QLabel* imageLabel_;
  QLabel* messageLabel_;
  QVBoxLayout* layout_;
  QPointer<QWidget> clearOf_;
  QTimer frameTimer_;
  int frame_ = 0;
};

}  // namespace vexhal
