#pragma once

#include <QPushButton>
#include <QWidget>

namespace vexhal {

// The last row of a non-empty camera list: a link-style button to the supported devices.
class QCameraFooterCellView : public QWidget {
  Q_OBJECT

 public:
  explicit QCameraFooterCellView(QWidget* parent = nullptr);

  QPushButton* supportBtn() const { return supportBtn_; }

 private:
  QPushButton* supportBtn_;
};

}  // namespace vexhal
