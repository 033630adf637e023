#include "section/camera_control/QPresetQuestions.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QStandardPaths>

#include <memory>

#include "preset/QPresetFile.h"

namespace vexhal {

namespace {

QString fileFilter() {
  return QStringLiteral("Presets (*%1)").arg(QString::fromLatin1(QPresetFile::kSuffix));
}

void askForFile(QWidget* screen, const QString& title, QFileDialog::AcceptMode mode,
                const QString& proposal, const QPresetQuestions::Answer& answer) {
  auto* dialog = new QFileDialog(screen->window(), title, proposal, fileFilter());
  dialog->setAcceptMode(mode);
  dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                      : QFileDialog::AnyFile);
  dialog->setWindowModality(Qt::WindowModal);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
    const QStringList files = dialog->selectedFiles();
    answer(result == QDialog::Accepted && !files.isEmpty() ? std::optional(files.front())
                                                           : std::nullopt);
  });
  dialog->open();
}

}  // namespace

QPresetQuestions QPresetQuestions::dialogs() {
  QPresetQuestions questions;
  questions.name = [](QWidget* screen, const QString& title, const QString& proposal,
                      Answer answer) {
    auto* dialog = new QInputDialog(screen->window());
    dialog->setWindowTitle(title);
    dialog->setLabelText(QStringLiteral("Preset name:"));
    dialog->setTextValue(proposal);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
      answer(result == QDialog::Accepted ? std::optional(dialog->textValue()) : std::nullopt);
    });
    dialog->open();
  };
  questions.openFile = [](QWidget* screen, Answer answer) {
    askForFile(screen, QStringLiteral("Import Presets"), QFileDialog::AcceptOpen,
               QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), answer);
  };
  questions.saveFile = [](QWidget* screen, const QString& proposal, Answer answer) {
    askForFile(screen, QStringLiteral("Export Presets"), QFileDialog::AcceptSave, proposal, answer);
  };
  return questions;
}

}  // namespace vexhal
