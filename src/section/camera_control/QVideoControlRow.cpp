#include "section/camera_control/QVideoControlRow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <climits>

#include "common/QSwitch.h"
#include "common/UiStyle.h"

namespace vexhal {

QVideoControlRow::QVideoControlRow(const VideoControl& control, QWidget* parent)
    : QWidget(parent),
      id_(control.id),
      minimum_(control.minimum),
      step_(std::max<std::int64_t>(control.step, 1)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(4);
  title_ = new QLabel(QString::fromStdString(control.name));
  title_->setTextFormat(Qt::PlainText);
  title_->setFont(ui::systemFont(14));
  title_->setWordWrap(true);
  grid->addWidget(title_, 0, 0);
  grid->setColumnStretch(0, 1);

  switch (control.type) {
    case VideoControl::Type::boolean:
      toggle_ = new QSwitch;
      grid->addWidget(toggle_, 0, 1, Qt::AlignRight | Qt::AlignVCenter);
      connect(toggle_, &QAbstractButton::clicked, this,
              [this](bool on) { emit valueChosen(id_, on ? 1 : 0); });
      break;
    case VideoControl::Type::menu:
    case VideoControl::Type::integerMenu:
      selector_ = new QComboBox;
      selector_->setFont(ui::systemFont(13));
      selector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      for (const VideoMenuItem& item : control.menu) {
        const QString text =
            item.label.empty() ? QString::number(item.value) : QString::fromStdString(item.label);
        selector_->addItem(text, QVariant::fromValue<qint64>(item.value));
      }
      grid->addWidget(selector_, 0, 1, Qt::AlignRight | Qt::AlignVCenter);
      connect(selector_, &QComboBox::activated, this, [this](int index) {
        emit valueChosen(id_, selector_->itemData(index).toLongLong());
      });
      break;
    case VideoControl::Type::integer: {
      // Positions count steps from the minimum, so any range and step fit the slider.
      const std::int64_t steps =
          std::clamp<std::int64_t>((control.maximum - control.minimum) / step_, 0, INT_MAX);
      slider_ = new QSlider(Qt::Horizontal);
      slider_->setRange(0, static_cast<int>(steps));
      slider_->setPageStep(std::max(1, static_cast<int>(steps / 10)));
      slider_->setAccessibleName(title_->text());
      valueLabel_ = new QLabel;
      valueLabel_->setFont(ui::systemFont(14));
      valueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(valueLabel_, 0, 1);
      grid->addWidget(slider_, 1, 0, 1, 2);
      connect(slider_, &QSlider::valueChanged, this, &QVideoControlRow::sliderMoved);
      // Sent when let go; a tap on the track, a key or the wheel moves it without a drag.
      connect(slider_, &QSlider::sliderReleased, this,
              [this] { emit valueChosen(id_, sliderValue()); });
      break;
    }
  }

  reason_ = new QLabel;
  reason_->setFont(ui::systemFont(12));
  reason_->setTextFormat(Qt::PlainText);
  QPalette palette = reason_->palette();
  palette.setColor(QPalette::WindowText, ui::gray());
  reason_->setPalette(palette);
  reason_->hide();
  grid->addWidget(reason_, 2, 0, 1, 2);

  showValue(control.value);
}

std::int64_t QVideoControlRow::sliderValue() const {
  return minimum_ + static_cast<std::int64_t>(slider_->value()) * step_;
}

void QVideoControlRow::sliderMoved() {
  valueLabel_->setText(QString::number(sliderValue()));
  if (!updating_ && !slider_->isSliderDown()) {
    emit valueChosen(id_, sliderValue());
  }
}

void QVideoControlRow::showValue(std::int64_t value) {
  updating_ = true;
  if (toggle_ != nullptr) {
    toggle_->setChecked(value != 0);
  } else if (selector_ != nullptr) {
    selector_->setCurrentIndex(selector_->findData(QVariant::fromValue<qint64>(value)));
  } else if (slider_ != nullptr) {
    slider_->setValue(static_cast<int>(std::clamp<std::int64_t>(
        (value - minimum_) / step_, slider_->minimum(), slider_->maximum())));
    valueLabel_->setText(QString::number(value));
  }
  updating_ = false;
}

void QVideoControlRow::showReason(const QString& reason) {
  for (QWidget* editor : {static_cast<QWidget*>(slider_), static_cast<QWidget*>(toggle_),
                          static_cast<QWidget*>(selector_)}) {
    if (editor != nullptr) {
      editor->setEnabled(reason.isEmpty());
    }
  }
  reason_->setText(reason);
  reason_->setVisible(!reason.isEmpty());
}

}  // namespace vexhal
