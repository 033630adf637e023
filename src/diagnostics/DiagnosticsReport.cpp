#include "diagnostics/DiagnosticsReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vexhal::diagnostics {

QByteArray DiagnosticsReport::toJson() const {
  QJsonArray cameraList;
  for (const CameraFacts& camera : cameras) cameraList.append(camera.toJson());
  const QJsonObject json{{QStringLiteral("created"), created.toString(Qt::ISODate)},
                         {QStringLiteral("system"), system.toJson()},
                         {QStringLiteral("cameras"), cameraList},
                         {QStringLiteral("logs"), logs}};
  return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

QByteArray DiagnosticsReport::toText() const {
  QStringList lines{QStringLiteral("VexhalTools diagnostics, ") + created.toString(Qt::ISODate),
                    QString()};
  lines.append(system.toText());
  if (!logs.isEmpty()) lines.append(QStringLiteral("Logs: ") + logs);
  if (cameras.empty()) lines.append({QString(), QStringLiteral("No camera attached.")});
  for (const CameraFacts& camera : cameras) {
    lines.append(QString());
    lines.append(camera.toText());
  }
  return lines.join(u'\n').toUtf8() + '\n';
}

QStringList DiagnosticsReport::serials() const {
  QStringList all;
  for (const CameraFacts& camera : cameras) all.append(camera.serials());
  return all;
}

}  // namespace vexhal::diagnostics
