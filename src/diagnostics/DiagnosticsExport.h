#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "section/camera_control/QDataBase.h"

namespace ostrane {
class QFileLogger;
}

namespace vexhal {
class Platform;
class USBHidManager;
}  // namespace vexhal

namespace vexhal::diagnostics {

struct ExportOptions {
  QString target;            // where the zip goes; replaced when it exists
  bool maskSerials = false;  // serial numbers become a stable hash in every file, logs included
};

struct ExportResult {
  bool ok = false;
  QString path;   // the zip written
  QString error;  // why it failed, for the user: "Could not write <path>: No space left on device"
};

// Writes one diagnostics zip: the logs (through Ostrane's export), report.json and report.txt
// for the machine and every attached camera. The camera's HID values are read on the main
// thread; files, device queries and the zip are made on the worker thread "diagnostics", so the
// window stays responsive. One export at a time.
class DiagnosticsExport : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(const ExportResult& result)>;

  // `logs` is the file logger whose folder is packed (null: no logs). All must outlive the
  // export.
  DiagnosticsExport(USBHidManager& manager, Platform& platform,
                    std::shared_ptr<ostrane::QFileLogger> logs, QDataBase dataBase = QDataBase(),
                    QObject* parent = nullptr);
  ~DiagnosticsExport() override;

  // Starts an export; `done` runs once on the main thread, never from inside start(). While one
  // runs, a second start fails at once (through `done`) with a message saying so.
  void start(const ExportOptions& options, Done done);
  bool running() const;

  // "VexhalTools-diagnostics-2026-12-08.zip"
  static QString defaultFileName(const QDate& date);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vexhal::diagnostics
