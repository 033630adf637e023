#pragma once

#include "common/QViewController.h"

namespace vexhal {

class QEmptyStateView;

// Holds the place of the camera list at the bottom of the root screen's stack until the list
// screen joins the program: it shows the list's empty state and nothing else.
class QCameraListPlaceholderVC : public QViewController {
  Q_OBJECT

 public:
  explicit QCameraListPlaceholderVC(QWidget* parent = nullptr);

  QEmptyStateView* emptyView() const { return emptyView_; }

 private:
  QEmptyStateView* emptyView_;
};

}  // namespace vexhal
