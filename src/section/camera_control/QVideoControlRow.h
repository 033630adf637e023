#pragma once

#include <QWidget>

#include <cstdint>

#include "device/uvc/VideoControl.h"

class QComboBox;
class QLabel;
class QSlider;

namespace vexhal {

class QSwitch;

// One further control of the image page: the driver's name, its editor (a slider with the
// value, a switch, or a selector, after the control's type) and, while the control cannot be
// changed, the reason under it. A person's change is reported with valueChosen; values and
// flags shown from code report nothing.
class QVideoControlRow : public QWidget {
  Q_OBJECT

 public:
  explicit QVideoControlRow(const VideoControl& control, QWidget* parent = nullptr);

  std::uint32_t controlId() const { return id_; }
  void showValue(std::int64_t value);
  // Enabled without a reason; disabled with `reason` shown under the editor otherwise.
  void showReason(const QString& reason);

  QLabel* title() const { return title_; }
  // The editor that fits the type; the others are null.
  QSlider* slider() const { return slider_; }
  QLabel* valueLabel() const { return valueLabel_; }
  QSwitch* toggle() const { return toggle_; }
  QComboBox* selector() const { return selector_; }
  QLabel* reasonLabel() const { return reason_; }

 signals:
  void valueChosen(std::uint32_t id, qint64 value);

 private:
  std::int64_t sliderValue() const;
  void sliderMoved();

  std::uint32_t id_;
  std::int64_t minimum_;
  std::int64_t step_;
  bool updating_ = false;
  QLabel* title_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* valueLabel_ = nullptr;
  QSwitch* toggle_ = nullptr;
  QComboBox* selector_ = nullptr;
  QLabel* reason_ = nullptr;
};

}  // namespace vexhal
