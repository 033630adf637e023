#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

namespace vexhal {

// The layer a sheet is shown on: it covers the whole window of the screen that asks, dims it,
// keeps the sheet centred in it and keeps everything below from the user: clicks and wheel
// turns stop here, Tab stays inside the sheet and keys the sheet leaves go no further. Being
// part of the window, the sheet sits in the same place on every platform (Wayland places no
// separate window where the program asks). The overlay hides when its sheet hides and goes when
// the sheet goes; the keyboard then returns to where it was.
//
//   if (!QSheetOverlay::present(dialog, this)) dialog->show();  // no window to lay it over
class QSheetOverlay : public QWidget {
  Q_OBJECT

 public:
  // Lays `sheet` over the window of `askingScreen` and gives it the keyboard; the sheet becomes
  // a child of the overlay. Null, and nothing done, when there is no asking screen.
  static QSheetOverlay* present(QWidget* sheet, QWidget* askingScreen);
  // The overlay `sheet` is shown on, or null.
  static QSheetOverlay* of(const QWidget* sheet);

  QWidget* sheet() const { return sheet_; }
  // What the overlay lays over the window below the sheet; color() unless the sheet dims the
  // window itself.
  void setDimming(const QColor& dimming);
  QColor dimming() const { return dimming_; }

  static QColor color() { return {0, 0, 0, 56}; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QSheetOverlay(QWidget* window, QWidget* sheet);
  void centreSheet();
  void leave();

  QPointer<QWidget> sheet_;
  const QObject* sheetObject_;  // to recognise the sheet while it is being destroyed
  QPointer<QWidget> previousFocus_;
  QColor dimming_ = color();
  bool closed_ = false;
};

}  // namespace vexhal
