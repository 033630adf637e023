#include "section/root/QCameraListPlaceholderVC.h"

#include <QVBoxLayout>

#include "common/QEmptyStateView.h"

namespace vexhal {

QCameraListPlaceholderVC::QCameraListPlaceholderVC(QWidget* parent)
    : QViewController("QCameraListPlaceholderVC", parent),
      emptyView_(new QEmptyStateView(QStringLiteral("empty_noCamera"),
                                     QStringLiteral("Please Connect Device"), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(emptyView_);
}

}  // namespace vexhal
