#include "common/QSegmentedControl.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPushButton>

#include "common/UiStyle.h"

namespace vexhal {
namespace {

constexpr int kHeight = 30;

}  // namespace

QSegmentedControl::QSegmentedControl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("segmentedControl"));
  setAttribute(Qt::WA_StyledBackground);
  setFixedHeight(kHeight);
  // Disabled items stay readable; their grey differs from the enabled items' near-black.
  setStyleSheet(QStringLiteral("#segmentedControl { background: %1; border-radius: 6px; }"
                               "QPushButton { border: none; border-radius: 4px; color: %2;"
                               " background: transparent; padding: 0 12px; }"
                               "QPushButton:checked { background: white; color: %3; }"
                               "QPushButton:disabled { color: %4; }"
                               "QPushButton:checked:disabled { color: %5; }")
                    .arg(ui::paleFill().name(), ui::ink().name(), ui::tealText().name(),
                         ui::disabledText().name(), ui::disabledTealText().name()));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  group_.setExclusive(true);
  connect(&group_, &QButtonGroup::idClicked, this, &QSegmentedControl::segmentSelected);
}

void QSegmentedControl::setItems(const QStringList& titles) {
  for (QAbstractButton* button : group_.buttons()) {
    group_.removeButton(button);
    delete button;
  }
  for (int i = 0; i < titles.size(); ++i) {
    auto* button = new QPushButton(titles.at(i), this);
    button->setCheckable(true);
    button->setFont(ui::systemFont(12));
    button->setCursor(Qt::PointingHandCursor);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    group_.addButton(button, i);
    layout()->addWidget(button);
  }
}

QStringList QSegmentedControl::items() const {
  QStringList titles;
  for (int i = 0; i < count(); ++i) {
    titles << group_.button(i)->text();
  }
  return titles;
}

int QSegmentedControl::count() const { return static_cast<int>(group_.buttons().size()); }

int QSegmentedControl::selectedIndex() const { return group_.checkedId(); }

void QSegmentedControl::setSelectedIndex(int index) {
  if (QAbstractButton* button = group_.button(index)) {
    button->setChecked(true);
  }
}

}  // namespace vexhal
