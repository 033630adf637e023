#include "common/QFillParent.h"

#include <QEvent>
#include <QWidget>

namespace vexhal {

QFillParent::QFillParent(QWidget* overlay) : QObject(overlay), overlay_(overlay) {}

void QFillParent::attach(QWidget* overlay) {
  QWidget* parent = overlay != nullptr ? overlay->parentWidget() : nullptr;
  if (parent == nullptr) {
    return;
  }
  parent->installEventFilter(new QFillParent(overlay));
  overlay->setGeometry(parent->rect());
}

bool QFillParent::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == overlay_->parentWidget()) {
    overlay_->setGeometry(overlay_->parentWidget()->rect());
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vexhal
