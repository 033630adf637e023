#include "common/QDimmingScrim.h"

#include <QPainter>

#include "common/QFillParent.h"

namespace vexhal {

QDimmingScrim::QDimmingScrim(QWidget* window) : QWidget(window) {
  setObjectName(QStringLiteral("dimmingScrim"));
  QFillParent::attach(this);
  show();
  raise();
}

void QDimmingScrim::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), color()); }

}  // namespace vexhal
