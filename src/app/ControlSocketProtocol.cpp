#include "app/ControlSocketProtocol.h"

#include <QJsonDocument>

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

std::optional<control::ControlRequest> ControlSocketProtocol::readRequest(const QByteArray& line,
                                                                          QString* error) {
  const QJsonDocument document = QJsonDocument::fromJson(line);
  if (!document.isObject()) {
    *error = QStringLiteral("the request is not a JSON object");
    return std::nullopt;
  }
  return control::requestFromJson(document.object(), error);
}

ControlSocketProtocol::Answer ControlSocketProtocol::readAnswer(const QByteArray& line) {
  const QJsonObject object = QJsonDocument::fromJson(line).object();
  Answer answer;
  if (object.contains(QLatin1String("working"))) {
    answer.kind = Answer::Kind::Working;
  } else if (const auto percent = control::progressFromJson(object)) {
    answer.kind = Answer::Kind::Progress;
    answer.percent = *percent;
  } else if (auto reply = control::replyFromJson(object, &answer.error)) {
    answer.kind = Answer::Kind::Reply;
    answer.reply = std::move(*reply);
  }
  return answer;
}

}  // namespace vexhal
