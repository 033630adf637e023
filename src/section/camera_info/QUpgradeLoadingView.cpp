#include "section/camera_info/QUpgradeLoadingView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "common/Pictures.h"
#include "common/UiStyle.h"

namespace vexhal {

QUpgradeLoadingView::QUpgradeLoadingView(QWidget* parent)
    : QWidget(parent), imageLabel_(new QLabel(this)), messageLabel_(new QLabel(this)) {
  setObjectName(QStringLiteral("QUpgradeLoadingView"));
  setAttribute(Qt::WA_NoMousePropagation);
  setFocusPolicy(Qt::StrongFocus);
  imageLabel_->setAlignment(Qt::AlignCenter);
  messageLabel_->setText(
      QStringLiteral("The installation process will take a long time. Please wait."));
  messageLabel_->setFont(ui::systemFont(14));
  messageLabel_->setStyleSheet(QStringLiteral("color: white;"));
  messageLabel_->setAlignment(Qt::AlignCenter);
  messageLabel_->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(16);
  layout->addStretch(1);
  layout->addWidget(imageLabel_);
  layout->addWidget(messageLabel_);
  layout->addStretch(1);

  frameTimer_.setInterval(cycleMs / frameCount);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { showFrame((frame_ + 1) % frameCount); });
  showFrame(0);
}

void QUpgradeLoadingView::startLoading() {
  frameTimer_.start();
}

void QUpgradeLoadingView::stopLoading() {
  frameTimer_.stop();
}

void QUpgradeLoadingView::showFrame(int frame) {
  frame_ = frame;
  imageLabel_->setPixmap(picture(QStringLiteral("upgrade_%1").arg(frame)));
}

void QUpgradeLoadingView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0, 0, 0, 128));
}

// Nor may a key reach what lies under it (Tab and Space would press "Back"): the overlay takes
// the focus when shown and swallows every key, shortcuts and Tab included.
void QUpgradeLoadingView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  setFocus(Qt::OtherFocusReason);
}

bool QUpgradeLoadingView::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      event->accept();
      return true;
    default:
      return QWidget::event(event);
  }
}

// Nothing under the overlay may be clicked while the camera is being written.
void QUpgradeLoadingView::mousePressEvent(QMouseEvent* event) {
  event->accept();
}
void QUpgradeLoadingView::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
}
void QUpgradeLoadingView::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
}

}  // namespace vexhal
