#include "section/camera_list/QCameraFooterCellView.h"

#include <QHBoxLayout>

#include "common/UiStyle.h"

namespace vexhal {

QCameraFooterCellView::QCameraFooterCellView(QWidget* parent)
    : QWidget(parent), supportBtn_(new QPushButton(QStringLiteral("Supported devices"), this)) {
  supportBtn_->setObjectName(QStringLiteral("supportBtn"));
  supportBtn_->setCursor(Qt::PointingHandCursor);
  supportBtn_->setFont(ui::systemFont(14));
  supportBtn_->setStyleSheet(
      QStringLiteral(
          "#supportBtn { color: %1; background: transparent; border: none; padding: 6px 10px; }"
          "#supportBtn:hover { text-decoration: underline; }"
          "#supportBtn:pressed { color: #1c4fb8; }")
          .arg(ui::blueText().name()));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 0, 24, 0);
  layout->addStretch();
  layout->addWidget(supportBtn_);
  layout->addStretch();
}

}  // namespace vexhal
