#pragma once

#include "common/QViewController.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vexhal {

// Changes the update service's address for the rest of the run (nothing is stored). The one
// address field ("https://updates.example.com", "http://127.0.0.1:8080") is checked as it is
// typed: Save is enabled only for a usable address (https, or plain http to this computer), and
// the reason an address cannot be used is shown under the field. Main thread only.
class QServiceVC : public QViewController {
  Q_OBJECT

 public:
  explicit QServiceVC(QWidget* parent = nullptr);

  void saveBtnAction();
  void backAction();

  QLineEdit* addressTF() const { return addressTF_; }
  QPushButton* saveBtn() const { return saveBtn_; }
  QLabel* problemLab() const { return problemLab_; }

 private:
  void addressChanged();

  QLineEdit* addressTF_;
  QPushButton* saveBtn_;
  QLabel* problemLab_;
};

}  // namespace vexhal
