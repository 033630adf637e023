#pragma once

#include <QWidget>

namespace vexhal {

class QParagraphLabel;

// The bubble of a toast: white text, at most 280 pixels wide, on a rounded dark plate.
class QToastView : public QWidget {
  Q_OBJECT

 public:
  explicit QToastView(const QString& text, QWidget* parent = nullptr);

  QParagraphLabel* label() const { return label_; }
  QSize sizeHint() const override;

  static constexpr int maxWidth = 280;  // of the text; the plate adds its padding
  static constexpr int minSize = 32;
  static constexpr int cornerRadius = 4;
  static constexpr int lineSpacing = 5;
  static QColor plateColor();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QParagraphLabel* label_;
};

}  // namespace vexhal
