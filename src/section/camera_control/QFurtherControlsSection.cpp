#include "section/camera_control/QFurtherControlsSection.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "common/UiStyle.h"
#include "section/camera_control/QVideoControlRow.h"

namespace vexhal {

QFurtherControlsSection::QFurtherControlsSection(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(12);
  header_ = new QToolButton;
  header_->setObjectName(QStringLiteral("moreBtn"));
  header_->setText(QStringLiteral("More"));
  header_->setCheckable(true);
  header_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  header_->setArrowType(Qt::RightArrow);
  header_->setAutoRaise(true);
  header_->setCursor(Qt::PointingHandCursor);
  header_->setFont(ui::systemFont(14, QFont::Medium));
  // A disclosure line, not a pressed button, while open.
  header_->setStyleSheet(
      QStringLiteral("QToolButton { border: none; background: transparent; color: %1; }")
          .arg(ui::ink().name()));
  column->addWidget(header_, 0, Qt::AlignLeft);

  body_ = new QWidget;
  rows_ = new QVBoxLayout(body_);
  rows_->setContentsMargins(0, 0, 0, 0);
  rows_->setSpacing(16);
  body_->hide();
  column->addWidget(body_);
  connect(header_, &QToolButton::toggled, this, &QFurtherControlsSection::setOpen);
  hide();
}

bool QFurtherControlsSection::isOpen() const { return header_->isChecked(); }

void QFurtherControlsSection::setOpen(bool open) {
  header_->setChecked(open);
  header_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
  body_->setVisible(open);
}

QString QFurtherControlsSection::reason(const VideoControl& control,
                                        const std::vector<VideoControl>& controls) {
  if (control.readOnly) {
    return QStringLiteral("Read only");
  }
  if (!control.inactive) {
    return {};
  }
  const std::optional<std::uint32_t> owner = owningAutomaticControl(control.id);
  const auto it = std::find_if(controls.begin(), controls.end(), [&](const VideoControl& other) {
    return owner && other.id == *owner;
  });
  return it != controls.end() ? QStringLiteral("Set by ") + QString::fromStdString(it->name)
                              : QStringLiteral("Not available in the current mode");
}

void QFurtherControlsSection::setControls(const std::vector<VideoControl>& controls) {
  for (const auto& [id, row] : byId_) {
    delete row;
  }
  byId_.clear();
  controls_ = controls;
  for (const VideoControl& control : controls_) {
    if (isImagePageControl(control.id)) {
      continue;
    }
    auto* row = new QVideoControlRow(control, body_);
    row->showReason(reason(control, controls_));
    rows_->addWidget(row);
    byId_[control.id] = row;
    connect(row, &QVideoControlRow::valueChosen, this, &QFurtherControlsSection::valueChosen);
  }
  setVisible(!byId_.empty());
}

void QFurtherControlsSection::showControl(const VideoControl& control) {
  const auto known = std::find_if(controls_.begin(), controls_.end(),
                                  [&](const VideoControl& c) { return c.id == control.id; });
  if (known != controls_.end()) {
    *known = control;
  }
  if (QVideoControlRow* shown = row(control.id)) {
    shown->showValue(control.value);
    shown->showReason(reason(control, controls_));
  }
}

QVideoControlRow* QFurtherControlsSection::row(std::uint32_t id) const {
  const auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

}  // namespace vexhal
