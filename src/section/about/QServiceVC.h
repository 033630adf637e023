#pragma once

#include "common/QViewController.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vexhal {

// Changes the update service's host and port for the rest of the run (nothing is stored).
// Save is enabled exactly when both fields hold at least one character; a plain-http address of
// another machine is refused with the reason shown under the fields. Main thread only.
class QServiceVC : public QViewController {
  Q_OBJECT

 public:
  explicit QServiceVC(QWidget* parent = nullptr);

  void saveBtnAction();
  void backAction();

  QLineEdit* hostTF() const { return hostTF_; }
  QLineEdit* portTF() const { return portTF_; }
  QPushButton* saveBtn() const { return saveBtn_; }

 private:
  void updateSaveEnabled();

  QLineEdit* hostTF_;
  QLineEdit* portTF_;
  QPushButton* saveBtn_;
  QLabel* refusalLab_;
};

}  // namespace vexhal
