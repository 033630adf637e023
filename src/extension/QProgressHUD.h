#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <functional>

#include "base/Scheduler.h"

class QLabel;

namespace vexhal {

class QSpinnerView;

// A progress overlay laid over a view: it covers the whole view (blocking its input unless told
// otherwise) and draws a rounded bezel in its centre holding a spinner or a custom view, and
// an optional label. It follows the view's size and removes itself when hidden.
class QProgressHUD : public QWidget {
  Q_OBJECT

 public:
  enum class Mode { indeterminate, customView, text };

  explicit QProgressHUD(QWidget* view);
  ~QProgressHUD() override;

  void setMode(Mode mode);
  Mode mode() const { return mode_; }
  // Space between the bezel's edge and what it holds.
  void setMargin(int margin);
  int margin() const { return margin_; }
  void setBezelColor(const QColor& color);
  QColor bezelColor() const { return bezelColor_; }
  void setBezelRadius(int radius);
  void setMinSize(QSize size);
  void setLabelText(const QString& text);
  void setLabelFont(const QFont& font);
  void setLabelColor(const QColor& color);
  QLabel* label() const { return label_; }
  // The view shown in customView mode; the overlay takes ownership.
  void setCustomView(QWidget* view);
  QWidget* customView() const { return customView_; }
  void setBlocksInput(bool blocks);
  // Widgets the bezel must not cover: when the centred bezel would, it sits above the
  // overlay's bottom edge instead (or above those widgets when they reach down there).
  void setAvoidedWidgets(const QList<QWidget*>& widgets);

  // Removes the overlay now.
  void hideAnimated(bool animated = false);
  // Removes the overlay after `seconds`, through `scheduler`.
  void hideAfterDelay(double seconds, const Scheduler& scheduler);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void relayout();
  QRect placeBezel(QSize size) const;

  Mode mode_ = Mode::indeterminate;
  int margin_ = 20;
  int bezelRadius_ = 5;
  QSize minSize_;
  QColor bezelColor_ = QColor(0, 0, 0, 153);
  QSpinnerView* spinner_;
  QLabel* label_;
  QPointer<QWidget> customView_;
  QList<QPointer<QWidget>> avoided_;
  QRect bezel_;
};

}  // namespace vexhal
