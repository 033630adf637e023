#pragma once

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <optional>

namespace vexhal {

// Space around an item, as top, left, bottom, right. A dialog uses only `top`.
struct QEdgeInsets {
  qreal top = 0;
  qreal left = 0;
  qreal bottom = 0;
  qreal right = 0;
};

// One block of a QAlertController's vertical stack: the view shown and the space above it.
class QAlertItem {
 public:
  QAlertItem() = default;
  QAlertItem(QWidget* view, std::optional<QSizeF> itemSize, std::optional<QEdgeInsets> insets)
      : size(itemSize), contentInset(insets), customerView(view) {}

  std::optional<QSizeF> size;  // carried, not used by the layout
  std::optional<QEdgeInsets> contentInset;
  QPointer<QWidget> customerView;
};

}  // namespace vexhal
