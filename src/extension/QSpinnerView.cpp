#include "extension/QSpinnerView.h"

#include <QPainter>

namespace vexhal {
namespace {

constexpr int kSpokes = 12;
constexpr int kStepMs = 80;

}  // namespace

QSpinnerView::QSpinnerView(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
  setAttribute(Qt::WA_TransparentForMouseEvents);
  timer_.setInterval(kStepMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    step_ = (step_ + 1) % kSpokes;
    update();
  });
}

void QSpinnerView::setColor(const QColor& color) {
  color_ = color;
  update();
}

void QSpinnerView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(width() / 2.0, height() / 2.0);
  const qreal outer = width() / 2.0;
  for (int i = 0; i < kSpokes; ++i) {
    QColor spoke = color_;
    const int age = (step_ - i + kSpokes) % kSpokes;
    spoke.setAlphaF(1.0 - 0.75 * age / kSpokes);
    painter.setPen(QPen(spoke, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer + 2));
    painter.rotate(360.0 / kSpokes);
  }
}

void QSpinnerView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  timer_.start();
}

void QSpinnerView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_.stop();
}

}  // namespace vexhal
