#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace vexhal {

// An indeterminate progress indicator: twelve spokes whose brightness turns around the circle.
// It animates only while visible.
class QSpinnerView : public QWidget {
  Q_OBJECT

 public:
  explicit QSpinnerView(QWidget* parent = nullptr);

  void setColor(const QColor& color);
  QSize sizeHint() const override { return {37, 37}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer timer_;
  QColor color_ = Qt::white;
  int step_ = 0;
};

}  // namespace vexhal
