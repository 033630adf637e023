#include "section/about/QDiagnosticsSaveDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/QAlertAction.h"
#include "common/QAlertButton.h"
#include "common/UiStyle.h"

namespace vexhal {

QDiagnosticsSaveDialog* QDiagnosticsSaveDialog::ask(QWidget* screen,
                                                    const diagnostics::ExportOptions& proposal,
                                                    Answer answer) {
  auto* dialog = new QDiagnosticsSaveDialog(proposal, std::move(answer),
                                            screen != nullptr ? screen->window() : nullptr);
  dialog->open();
  return dialog;
}

QDiagnosticsSaveDialog::QDiagnosticsSaveDialog(const diagnostics::ExportOptions& proposal,
                                               Answer answer, QWidget* parent)
    : QDialog(parent),
      pathTF_(new QLineEdit(proposal.target, this)),
      maskBox_(new QCheckBox(QStringLiteral("Hide serial numbers"), this)),
      exportBtn_(new QAlertButton(QStringLiteral("Export"),
                                  QAlertAction::look(QAlertAction::QAlertActionStyle::blueFilled),
                                  std::nullopt, this)),
      answer_(std::move(answer)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::WindowModal);
  setWindowTitle(QStringLiteral("Export Diagnostics"));

  auto* note = new QLabel(
      QStringLiteral("One zip with the program's logs and a report of this computer and its "
                     "cameras, for the maker's support."),
      this);
  note->setWordWrap(true);
  note->setFont(ui::systemFont(13));
  pathTF_->setObjectName(QStringLiteral("pathTF"));
  pathTF_->setMinimumWidth(380);
  auto* choose = new QPushButton(QStringLiteral("Choose…"), this);
  choose->setObjectName(QStringLiteral("chooseBtn"));
  maskBox_->setObjectName(QStringLiteral("maskBox"));
  maskBox_->setChecked(proposal.maskSerials);
  exportBtn_->setObjectName(QStringLiteral("exportBtn"));
  exportBtn_->setFixedSize(120, 36);
  exportBtn_->setDefault(true);
  auto* cancel = new QAlertButton(QStringLiteral("Cancel"),
                                  QAlertAction::look(QAlertAction::QAlertActionStyle::grayFilled),
                                  std::nullopt, this);
  cancel->setObjectName(QStringLiteral("cancelBtn"));
  cancel->setFixedSize(120, 36);

  auto* target = new QHBoxLayout;
  target->addWidget(pathTF_, 1);
  target->addWidget(choose);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  buttons->addWidget(exportBtn_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(12);
  layout->addWidget(note);
  layout->addLayout(target);
  layout->addWidget(maskBox_);
  layout->addSpacing(8);
  layout->addLayout(buttons);

  connect(choose, &QPushButton::clicked, this, &QDiagnosticsSaveDialog::chooseFile);
  connect(pathTF_, &QLineEdit::textChanged, this,
          [this](const QString& text) { exportBtn_->setEnabled(!text.trimmed().isEmpty()); });
  connect(exportBtn_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &QDialog::finished, this, [this](int result) {
    if (!answer_) {
      return;
    }
    const Answer chosen = std::exchange(answer_, nullptr);
    if (result == QDialog::Accepted) {
      chosen(diagnostics::ExportOptions{pathTF_->text().trimmed(), maskBox_->isChecked()});
    } else {
      chosen(std::nullopt);
    }
  });
}

// The desktop's own save dialog (a portal's inside a sandbox), opened without waiting on it.
void QDiagnosticsSaveDialog::chooseFile() {
  auto* files = new QFileDialog(this, QStringLiteral("Export Diagnostics"),
                                QFileInfo(pathTF_->text()).absolutePath(),
                                QStringLiteral("Zip archives (*.zip)"));
  files->setAttribute(Qt::WA_DeleteOnClose);
  files->setAcceptMode(QFileDialog::AcceptSave);
  files->setDefaultSuffix(QStringLiteral("zip"));
  files->selectFile(QFileInfo(pathTF_->text()).fileName());
  connect(files, &QFileDialog::fileSelected, pathTF_, &QLineEdit::setText);
  files->open();
}

}  // namespace vexhal
