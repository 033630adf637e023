#pragma once

#include <QColor>
#include <QWidget>

namespace vexhal {

// A text label with its own line spacing (extra space between lines) and alignment; QLabel
// has no line spacing. Wraps at the widget's width unless it is single-line.
class QParagraphLabel : public QWidget {
  Q_OBJECT

 public:
  explicit QParagraphLabel(QWidget* parent = nullptr);

  QString text() const { return text_; }
  void setText(const QString& text);
  void setTextColor(const QColor& color);
  QColor textColor() const { return color_; }
  Qt::Alignment alignment() const { return alignment_; }
  void setAlignment(Qt::Alignment alignment);
  qreal lineSpacing() const { return lineSpacing_; }
  void setLineSpacing(qreal spacing);
  bool isSingleLine() const { return singleLine_; }
  void setSingleLine(bool singleLine);

  // The laid-out height of the text at `width` (the widest line for the natural size).
  int heightForWidth(int width) const override;
  bool hasHeightForWidth() const override { return true; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The text's natural width on one line.
  int naturalWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Lays the text out at `width` and returns its height; draws it too when given a painter.
  qreal layoutText(qreal width, QPainter* painter) const;

  QString text_;
  QColor color_ = Qt::black;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  qreal lineSpacing_ = 0;
  bool singleLine_ = false;
};

}  // namespace vexhal
