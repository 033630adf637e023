#include "common/QSwitch.h"

#include <QPainter>

#include "common/UiStyle.h"

namespace vexhal {
namespace {

constexpr int kSlideMs = 120;
constexpr qreal kKnobInset = 2;

}  // namespace

QSwitch::QSwitch(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFixedSize(sizeHint());
  knob_.setDuration(kSlideMs);
  knob_.setEasingCurve(QEasingCurve::OutCubic);
  connect(&knob_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    knobPosition_ = value.toReal();
    update();
  });
}

void QSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor on = ui::teal();
  QColor off = ui::lightBorder();
  if (!isEnabled()) {
    on.setAlpha(110);
    off.setAlpha(150);
  }
  const qreal t = knobPosition_;
  const QColor fill = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * t,
                                       off.greenF() + (on.greenF() - off.greenF()) * t,
                                       off.blueF() + (on.blueF() - off.blueF()) * t,
                                       off.alphaF() + (on.alphaF() - off.alphaF()) * t);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
  const qreal diameter = track.height() - 2 * kKnobInset;
  const qreal travel = track.width() - diameter - 2 * kKnobInset;
  painter.setBrush(Qt::white);
  painter.drawEllipse(
      QRectF(track.left() + kKnobInset + travel * t, track.top() + kKnobInset, diameter, diameter));
}

void QSwitch::checkStateSet() {
  QAbstractButton::checkStateSet();
  moveKnob(false);
}

void QSwitch::nextCheckState() {
  QAbstractButton::nextCheckState();
  moveKnob(isVisible());
}

void QSwitch::moveKnob(bool animated) {
  const qreal target = isChecked() ? 1.0 : 0.0;
  knob_.stop();
  if (!animated) {
    knobPosition_ = target;
    update();
    return;
  }
  knob_.setStartValue(knobPosition_);
  knob_.setEndValue(target);
  knob_.start();
}

}  // namespace vexhal
