#pragma once

#include <QObject>

#include <chrono>
#include <functional>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal::diagnostics {
class DiagnosticsExport;
}

namespace vexhal::control {

// `vexhalctl diagnostics -o FILE.zip`: one diagnostics export into the request's file. The
// result is {"path": the zip}; a failed export is Failed with the export's own words, and one
// that has not ended within kBound is NoAnswer. Main thread only.
class DiagnosticsCommand : public QObject {
  Q_OBJECT

 public:
  using Done = std::function<void(const ControlReply& reply)>;

  // Without `exporter` every request fails, saying that diagnostics cannot be made here.
  explicit DiagnosticsCommand(QObject* parent = nullptr);

  void setExporter(diagnostics::DiagnosticsExport* exporter) { exporter_ = exporter; }
  // Calls `done` once, never from inside run().
  void run(const ControlRequest& request, Done done);

  // An export of the largest logs ends well inside this.
  static constexpr std::chrono::minutes kBound{5};

 private:
  diagnostics::DiagnosticsExport* exporter_ = nullptr;
};

}  // namespace vexhal::control
