#include "common/QParagraphLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vexhal {

QParagraphLabel::QParagraphLabel(QWidget* parent) : QWidget(parent) {
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void QParagraphLabel::setText(const QString& text) {
  text_ = text;
  updateGeometry();
  update();
}

void QParagraphLabel::setTextColor(const QColor& color) {
  color_ = color;
  update();
}

void QParagraphLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

void QParagraphLabel::setLineSpacing(qreal spacing) {
  lineSpacing_ = spacing;
  updateGeometry();
  update();
}

void QParagraphLabel::setSingleLine(bool singleLine) {
  singleLine_ = singleLine;
  updateGeometry();
  update();
}

int QParagraphLabel::naturalWidth() const {
  const QFontMetricsF metrics(font());
  qreal widest = 0;
  for (const QString& line : text_.split(QLatin1Char('\n'))) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  return static_cast<int>(std::ceil(widest));
}

int QParagraphLabel::heightForWidth(int width) const {
  return static_cast<int>(std::ceil(layoutText(width, nullptr)));
}

QSize QParagraphLabel::sizeHint() const {
  const int width = naturalWidth();
  return {width, heightForWidth(width)};
}

QSize QParagraphLabel::minimumSizeHint() const {
  return {0, static_cast<int>(std::ceil(QFontMetricsF(font()).height()))};
}

void QParagraphLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(color_);
  layoutText(width(), &painter);
}

void QParagraphLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    updateGeometry();
  }
  QWidget::changeEvent(event);
}

qreal QParagraphLabel::layoutText(qreal width, QPainter* painter) const {
  const QFontMetricsF metrics(font());
  if (text_.isEmpty()) {
    return metrics.height();
  }
  QString shown = text_;
  if (singleLine_) {
    shown = metrics.elidedText(text_.simplified(), Qt::ElideRight, width);
  } else {
    // QTextLayout breaks lines only at line separators; a plain newline would vanish.
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
  }
  QTextLayout layout(shown, font());
  QTextOption option;
  option.setWrapMode(singleLine_ ? QTextOption::NoWrap : QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  qreal y = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (y > 0) {
      y += lineSpacing_;
    }
    qreal x = 0;
    const qreal used = line.naturalTextWidth();
    if (alignment_ & Qt::AlignHCenter) {
      x = (width - used) / 2;
    } else if (alignment_ & Qt::AlignRight) {
      x = width - used;
    }
    line.setPosition(QPointF(x, y));
    y += line.height();
  }
  layout.endLayout();
  if (painter != nullptr) {
    layout.draw(painter, QPointF(0, 0));
  }
  return y;
}

}  // namespace vexhal
