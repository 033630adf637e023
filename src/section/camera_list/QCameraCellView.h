#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <string>

namespace vexhal {

// One camera row of the camera list: the camera's name and its state text on a card that is
// itself the row's button. A failed camera's row also says that clicking it repairs the firmware.
class QCameraCellView : public QWidget {
  Q_OBJECT

 public:
  explicit QCameraCellView(QWidget* parent = nullptr);

  // Shows `name` and the text and colour of `state`.
  void configure(const std::string& name, std::int64_t state);
  // A camera this user may not open: "No access" in the warning colour.
  void configureNoAccess(const std::string& name);

  QPushButton* cameraBtn() const { return cameraBtn_; }
  QLabel* nameLabel() const { return nameLabel_; }
  QLabel* stateLabel() const { return stateLabel_; }
  // Beside "Failed": the firmware needs repairing, and the row opens the repair.
  QLabel* repairHintLabel() const { return repairHintLabel_; }

  // "Connected" for 1, "Failed" for 2, nothing for any other state.
  static QString stateText(std::int64_t state);
  // The warning colour for 2, the normal state colour otherwise.
  static QColor stateColor(std::int64_t state);

 private:
  QPushButton* cameraBtn_;
  QLabel* iconLabel_;
  QLabel* nameLabel_;
  QLabel* stateLabel_;
  QLabel* repairHintLabel_;
};

}  // namespace vexhal
