#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

namespace vexhal {

// An on/off switch: a rounded track with a sliding knob. A user's click toggles it and emits
// clicked(bool); setChecked() from code moves it without emitting clicked.
class QSwitch : public QAbstractButton {
  Q_OBJECT

 public:
  explicit QSwitch(QWidget* parent = nullptr);

  QSize sizeHint() const override { return {40, 22}; }
  // Where the knob is drawn: 0 at the off end, 1 at the on end.
  qreal knobPosition() const { return knobPosition_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void checkStateSet() override;
  void nextCheckState() override;

 private:
  void moveKnob(bool animated);

  QVariantAnimation knob_;
  qreal knobPosition_ = 0;
};

}  // namespace vexhal
