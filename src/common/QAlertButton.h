#pragma once

#include <QPushButton>

#include "common/QAlertAction.h"

namespace vexhal {

// A dialog button drawn in one QAlertAction look, with 4-pixel corners. A double click counts
// as one click, so a hasty user cannot choose the same action twice.
class QAlertButton : public QPushButton {
  Q_OBJECT

 public:
  QAlertButton(const QString& title, const QAlertAction::Look& look,
               const std::optional<QFont>& actionFont, QWidget* parent = nullptr);

  const QAlertAction::Look& look() const { return look_; }

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QAlertAction::Look look_;
};

}  // namespace vexhal
