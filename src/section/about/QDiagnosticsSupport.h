#pragma once

#include <QDate>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

#include "diagnostics/DiagnosticsExport.h"
#include "extension/QHudOverlay.h"

class QWidget;

namespace vexhal {

class Platform;

// What the screens offer for support: the log folder, shown in the file manager, and
// "Export Diagnostics…" (root menu, about screen), which asks where the zip goes and whether to
// hide serial numbers, then exports it while the window shows the busy overlay; a toast says
// where it went, a dialog why it could not be written. Nothing waits on the main thread. The
// question is a seam: the save dialog, or a test's answer. Main thread only.
class QDiagnosticsSupport : public QObject {
  Q_OBJECT

 public:
  // The chosen target and masking; none when the user cancelled.
  using Answer = std::function<void(const std::optional<diagnostics::ExportOptions>& chosen)>;
  // Asks over `screen`, starting from `proposal`, and calls `answer` once.
  using FileQuestion = std::function<void(
      QWidget* screen, const diagnostics::ExportOptions& proposal, Answer answer)>;

  // `exporter` and `platform` (its scheduler times toasts, its folder opener shows folders)
  // outlive this object. `logFolder` is where the program's logs are written, empty for none.
  QDiagnosticsSupport(diagnostics::DiagnosticsExport& exporter, Platform& platform,
                      QString logFolder, QObject* parent = nullptr);

  // Asks, then exports; what happens next is told over `screen`'s window.
  void startExport(QWidget* screen);
  void setFileQuestion(FileQuestion question) { question_ = std::move(question); }

  const QString& logFolder() const { return logFolder_; }
  // Shows the log folder in the file manager; a toast over `screen` when nothing took it.
  void openLogFolder(QWidget* screen);

  // The documents folder and "VexhalTools-diagnostics-<date>.zip".
  static QString proposedPath(const QDate& date);

 private:
  void exportTo(const QPointer<QWidget>& screen, const diagnostics::ExportOptions& options);
  void exported(const QPointer<QWidget>& screen, const diagnostics::ExportResult& result);

  diagnostics::DiagnosticsExport& exporter_;
  Platform& platform_;
  QString logFolder_;
  FileQuestion question_;
  QBusyClaim busy_;
};

}  // namespace vexhal
