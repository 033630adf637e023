#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

#include <vector>

#include "diagnostics/CameraFacts.h"
#include "diagnostics/SystemFacts.h"

namespace vexhal::diagnostics {

// The facts of one export: the machine and every attached camera.
struct DiagnosticsReport {
  QDateTime created;
  SystemFacts system;
  std::vector<CameraFacts> cameras;
  QString logs;  // "packed", why they are missing, or empty when no log folder was asked for

  // report.json: {"created":…, "system":{…}, "cameras":[{…}]}
  QByteArray toJson() const;
  // report.txt: the same facts as readable lines.
  QByteArray toText() const;
  // Every serial number in the report.
  QStringList serials() const;
};

}  // namespace vexhal::diagnostics
