#pragma once

#include <QDialog>

#include <functional>
#include <optional>

#include "diagnostics/DiagnosticsExport.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vexhal {

// The save dialog of the diagnostics export: where the zip goes (typed, or chosen through the
// desktop's own file dialog) and "Hide serial numbers". Window-modal and never waited on: the
// answer comes through a callback when it closes.
class QDiagnosticsSaveDialog : public QDialog {
  Q_OBJECT

 public:
  using Answer = std::function<void(const std::optional<diagnostics::ExportOptions>& chosen)>;

  // Opens the dialog over `screen`'s window with `proposal` filled in; `answer` is called once,
  // with none when the user cancels. The dialog deletes itself.
  static QDiagnosticsSaveDialog* ask(QWidget* screen, const diagnostics::ExportOptions& proposal,
                                     Answer answer);

  QLineEdit* pathTF() const { return pathTF_; }
  QCheckBox* maskBox() const { return maskBox_; }
  QPushButton* exportBtn() const { return exportBtn_; }

 private:
  QDiagnosticsSaveDialog(const diagnostics::ExportOptions& proposal, Answer answer,
                         QWidget* parent);
  void chooseFile();

  QLineEdit* pathTF_;
  QCheckBox* maskBox_;
  QPushButton* exportBtn_;
  Answer answer_;
};

}  // namespace vexhal
