#include "section/camera_control/PageScrollArea.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace vexhal {

QScrollArea* fillWithScrollArea(QWidget* page, QWidget* content) {
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* area = new QScrollArea(page);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(content);
  outer->addWidget(area);
  return area;
}

}  // namespace vexhal
