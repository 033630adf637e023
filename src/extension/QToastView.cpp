#include "extension/QToastView.h"

#include <QPainter>

#include <algorithm>

#include "common/QParagraphLabel.h"
#include "common/UiStyle.h"

namespace vexhal {
namespace {

constexpr int kPadX = 14;
constexpr int kPadY = 8;

}  // namespace

QColor QToastView::plateColor() { return {0, 0, 0, 178}; }

QToastView::QToastView(const QString& text, QWidget* parent)
    : QWidget(parent), label_(new QParagraphLabel(this)) {
  label_->setFont(ui::systemFont(12));
  label_->setTextColor(Qt::white);
  label_->setAlignment(Qt::AlignHCenter);
  label_->setLineSpacing(lineSpacing);
  label_->setText(text);
  resize(sizeHint());
}

QSize QToastView::sizeHint() const {
  const int textWidth = std::min(label_->naturalWidth(), maxWidth);
  const int width = std::max(textWidth + 2 * kPadX, minSize);
  const int height = std::max(label_->heightForWidth(textWidth) + 2 * kPadY, minSize);
  return {width, height};
}

void QToastView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(plateColor());
  painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

void QToastView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int textHeight = label_->heightForWidth(width() - 2 * kPadX);
  label_->setGeometry(kPadX, (height() - textHeight) / 2, width() - 2 * kPadX, textHeight);
}

}  // namespace vexhal
