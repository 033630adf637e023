#include "common/QScreenHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "common/Pictures.h"
#include "common/UiStyle.h"

namespace vexhal {

QScreenHeader::QScreenHeader(const QString& title, std::function<void()> back, QWidget* parent)
    : QWidget(parent), backBtn_(new QToolButton(this)) {
  backBtn_->setObjectName(QStringLiteral("backBtn"));
  backBtn_->setIcon(pictureIcon(QStringLiteral("icon_back")));
  backBtn_->setIconSize(QSize(20, 20));
  ui::styleHeaderButton(backBtn_);
  backBtn_->setToolTip(QStringLiteral("Back"));
  backBtn_->setCursor(Qt::PointingHandCursor);
  connect(backBtn_, &QToolButton::clicked, this, [back = std::move(back)] { back(); });
  auto* label = new QLabel(title, this);
  label->setFont(ui::systemFont(16, QFont::DemiBold));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(backBtn_);
  layout->addSpacing(8);
  layout->addWidget(label);
  layout->addStretch(1);
}

}  // namespace vexhal
