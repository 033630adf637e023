#pragma once

#include <QPointer>
#include <QVariantAnimation>

#include "common/QViewController.h"

class QLabel;

namespace vexhal {

// The launch screen: plays the launch animation ("launch_0" to "launch_119") once, linearly,
// over 2 s, and then holds its last frame until the root screen replaces it.
class QLaunchVC : public QViewController {
  Q_OBJECT

 public:
  explicit QLaunchVC(QWidget* parent = nullptr);

  static constexpr int frameCount = 120;
  static constexpr int durationMs = 2000;
  // The frame shown at `progress` (0 to 1) of the animation.
  static int frameAt(qreal progress);

  QLabel* lanchImg() const { return lanchImg_; }
  int currentFrame() const { return currentFrame_; }
  // Starts playing; the first time the screen is shown does it.
  void startAnimation();
  QVariantAnimation* animation() const { return animation_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void showFrame(int frame);

  QLabel* lanchImg_;
  QPointer<QVariantAnimation> animation_;
  int currentFrame_ = -1;
};

}  // namespace vexhal
