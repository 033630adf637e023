#include "section/camera_list/QCameraFooterCellView.h"

#include <QHBoxLayout>

#include "common/UiStyle.h"

namespace vexhal {

QCameraFooterCellView::QCameraFooterCellView(QWidget* parent)
    : QWidget(parent), supportBtn_(new QPushButton(QStringLiteral("Supported devices"), this)) {
  supportBtn_->setObjectName(QStringLiteral("supportBtn"));
  supportBtn_->setCursor(Qt::PointingHandCursor);
  supportBtn_->setFont(ui::systemFont(14));
  supportBtn_->setStyleSheet(QStringLiteral(
      "#supportBtn { color: #3476ff; background: transparent; border: none; padding: 6px 10px; }"
      "#supportBtn:hover { text-decoration: underline; }"
      "#supportBtn:pressed { color: #2358c8; }"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 0, 24, 0);
  layout->addStretch();
  layout->addWidget(supportBtn_);
  layout->addStretch();
}

}  // namespace vexhal
