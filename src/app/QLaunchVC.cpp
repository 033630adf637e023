#include "app/QLaunchVC.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "common/Pictures.h"

namespace vexhal {

QLaunchVC::QLaunchVC(QWidget* parent)
    : QViewController("QLaunchVC", parent), lanchImg_(new QLabel(this)) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  lanchImg_->setObjectName(QStringLiteral("lanchImg"));
  lanchImg_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lanchImg_);

  showFrame(0);
}

int QLaunchVC::frameAt(qreal progress) {
  const int frame = static_cast<int>(std::floor(progress * frameCount));
  return std::clamp(frame, 0, frameCount - 1);
}

void QLaunchVC::startAnimation() {
  if (animation_) {
    return;
  }
  auto* animation = new QVariantAnimation(this);
  animation->setDuration(durationMs);
  animation->setStartValue(0.0);
  animation->setEndValue(1.0);
  animation->setEasingCurve(QEasingCurve::Linear);
  connect(animation, &QVariantAnimation::valueChanged, this,
          [this](const QVariant& value) { showFrame(frameAt(value.toReal())); });
  animation_ = animation;
  animation->start();
}

void QLaunchVC::showEvent(QShowEvent* event) {
  QViewController::showEvent(event);
  startAnimation();
}

void QLaunchVC::showFrame(int frame) {
  if (frame == currentFrame_ || frame < 0 || frame >= frameCount) {
    return;
  }
  // Each small frame is decoded when it is due, so the window appears at once instead of
  // after decoding all 120.
  currentFrame_ = frame;
  lanchImg_->setPixmap(picture(QStringLiteral("launch_%1").arg(frame)));
}

}  // namespace vexhal
