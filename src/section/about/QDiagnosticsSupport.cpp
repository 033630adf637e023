#include "section/about/QDiagnosticsSupport.h"

#include <QDir>
#include <QStandardPaths>
#include <QWidget>

#include <ostrane/ostrane.h>

#include <memory>

#include "common/QAlertAction.h"
#include "common/QAlertController.h"
#include "common/UiStyle.h"
#include "platform/Platform.h"
#include "section/about/QDiagnosticsSaveDialog.h"

namespace vexhal {

QDiagnosticsSupport::QDiagnosticsSupport(diagnostics::DiagnosticsExport& exporter,
                                         Platform& platform, QString logFolder, QObject* parent)
    : QObject(parent),
      exporter_(exporter),
      platform_(platform),
      logFolder_(std::move(logFolder)),
      question_([](QWidget* screen, const diagnostics::ExportOptions& proposal, Answer answer) {
        QDiagnosticsSaveDialog::ask(screen, proposal, std::move(answer));
      }) {}

QString QDiagnosticsSupport::proposedPath(const QDate& date) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty()) {
    folder = QDir::homePath();
  }
  return QDir(folder).filePath(diagnostics::DiagnosticsExport::defaultFileName(date));
}

void QDiagnosticsSupport::openLogFolder(QWidget* screen) {
  QLog("Diagnostics, openLogFolder", logFolder_.toStdString());
  // The logger makes the folder with its first line; it is there to be shown even before.
  QDir().mkpath(logFolder_);
  const Platform::FolderOpener& opener = platform_.folderOpener();
  if (opener && opener(logFolder_)) {
    return;
  }
  QLog("Diagnostics, openLogFolder, nothing opened it");
  QHudOverlay::showToast(screen->window(),
                         QStringLiteral("No file manager opened the folder %1").arg(logFolder_),
                         platform_.scheduler(), 4.0);
}

void QDiagnosticsSupport::startExport(QWidget* screen) {
  QLog("Diagnostics, startExport");
  question_(screen, {proposedPath(QDate::currentDate()), false},
            [self = QPointer(this),
             screen = QPointer(screen)](const std::optional<diagnostics::ExportOptions>& chosen) {
              if (!self) {
                return;
              }
              if (!chosen) {
                QLog("Diagnostics, cancelled");
                return;
              }
              self->exportTo(screen, *chosen);
            });
}

void QDiagnosticsSupport::exportTo(const QPointer<QWidget>& screen,
                                   const diagnostics::ExportOptions& options) {
  QLog("Diagnostics, export to", options.target.toStdString(),
       options.maskSerials ? "serial numbers hidden" : "serial numbers kept");
  if (screen) {
    busy_.show(screen);
  }
  exporter_.start(options,
                  [self = QPointer(this), screen](const diagnostics::ExportResult& result) {
                    if (self) {
                      self->exported(screen, result);
                    }
                  });
}

void QDiagnosticsSupport::exported(const QPointer<QWidget>& screen,
                                   const diagnostics::ExportResult& result) {
  busy_.done();
  QLog("Diagnostics, exported", result.ok ? result.path.toStdString() : result.error.toStdString());
  if (!screen) {
    return;
  }
  if (result.ok) {
    QHudOverlay::showToast(screen->window(),
                           QStringLiteral("Diagnostics saved to %1").arg(result.path),
                           platform_.scheduler(), 4.0);
    return;
  }
  auto* alert = new QAlertController(QStringLiteral("Diagnostics not exported"), result.error);
  alert->addAction(std::make_shared<QAlertAction>(QStringLiteral("OK"),
                                                  QAlertAction::QAlertActionStyle::blueFilled,
                                                  ui::systemFont(14, QFont::Medium), nullptr),
                   true);
  alert->present(screen);
}

}  // namespace vexhal
