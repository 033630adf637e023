#pragma once

#include <QWidget>

class QLabel;

namespace vexhal {

// A picture above a short gray text, centred in the space it is given.
class QEmptyStateView : public QWidget {
  Q_OBJECT

 public:
  QEmptyStateView(const QString& pictureName, const QString& text, QWidget* parent = nullptr);

  QString text() const;
  QString pictureName() const { return pictureName_; }
  bool hasPicture() const;

 private:
  QString pictureName_;
  QLabel* picture_;
  QLabel* text_;
};

}  // namespace vexhal
