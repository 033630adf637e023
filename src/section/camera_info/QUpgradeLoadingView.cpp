#include "section/camera_info/QUpgradeLoadingView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "common/Pictures.h"
#include "common/UiStyle.h"

namespace vexhal {
namespace {

constexpr int kMargin = 24;

}  // namespace

QUpgradeLoadingView::QUpgradeLoadingView(QWidget* parent)
    : QWidget(parent),
      imageLabel_(new QLabel(this)),
      messageLabel_(new QLabel(this)),
      layout_(new QVBoxLayout(this)) {
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

  layout_->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout_->setSpacing(16);
  layout_->addStretch(1);
  layout_->addWidget(imageLabel_, 0, Qt::AlignHCenter);
  layout_->addWidget(messageLabel_);
  layout_->addStretch(1);

  frameTimer_.setInterval(cycleMs / frameCount);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { showFrame((frame_ + 1) % frameCount); });
  showFrame(0);
}

void QUpgradeLoadingView::startLoading() { frameTimer_.start(); }

void QUpgradeLoadingView::stopLoading() { frameTimer_.stop(); }

void QUpgradeLoadingView::keepClearOf(QWidget* widget) {
  clearOf_ = widget;
  placeContent();
}

// The picture and the message are centred in the space below the widget to keep clear of.
void QUpgradeLoadingView::placeContent() {
  int top = kMargin;
  if (clearOf_ && clearOf_->isVisible()) {
    const int bottom = mapFromGlobal(clearOf_->mapToGlobal(QPoint(0, clearOf_->height()))).y();
    top = std::max(top, bottom + kMargin);
  }
  layout_->setContentsMargins(kMargin, top, kMargin, kMargin);
}

void QUpgradeLoadingView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeContent();
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
  placeContent();
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
void QUpgradeLoadingView::mousePressEvent(QMouseEvent* event) { event->accept(); }
void QUpgradeLoadingView::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void QUpgradeLoadingView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace vexhal
