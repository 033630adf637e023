#include "app/ControlSocketProtocol.h"

#include <QJsonDocument>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"

namespace vexhal {

QByteArray ControlSocketProtocol::progressLine(int percent) {
  return line(control::progressToJson(percent));
}

QByteArray ControlSocketProtocol::workingLine() {
  return line({{QStringLiteral("v"), control::ControlRequest::kProtocolVersion},
               {QStringLiteral("working"), true}});
}

QByteArray ControlSocketProtocol::line(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace vexhal
