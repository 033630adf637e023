#include "cli/CtlOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

#include "control/ControlSetting.h"

namespace vexhal::cli {
namespace {

using Command = control::ControlRequest::Command;

// The columns of `list`, in the order shown.
const char* const kListColumns[] = {"serial",   "name",   "version", "state",
                                    "location", "hidraw", "video",   "access"};

// A value as a person reads it: a camera's switches as on/off, other truths as yes/no, whole
// numbers without a fraction.
QString valueText(const QJsonValue& value, bool switches = true) {
  switch (value.type()) {
    case QJsonValue::Bool:
      if (switches) return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
      return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    case QJsonValue::Double: {
      const double number = value.toDouble();
      return number == std::floor(number) ? QString::number(static_cast<qint64>(number))
                                          : QString::number(number);
    }
    case QJsonValue::String:
      return value.toString();
    case QJsonValue::Array:
      return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
      return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Null:
    case QJsonValue::Undefined:
      break;
  }
  return QStringLiteral("-");
}

// Rows of cells, each column as wide as its widest cell, two spaces apart.
QByteArray table(const std::vector<QStringList>& rows) {
  std::vector<qsizetype> widths;
  for (const QStringList& row : rows) {
    widths.resize(std::max(widths.size(), static_cast<std::size_t>(row.size())));
    for (qsizetype i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  QString text;
  for (const QStringList& row : rows) {
    QString line;
    for (qsizetype i = 0; i < row.size(); ++i) {
      if (i + 1 < row.size()) {
        line += row[i].leftJustified(widths[i] + 2);
      } else {
        // A last cell of several lines keeps them under its column.
        line += QString(row[i]).replace(QLatin1Char('\n'),
                                        QLatin1Char('\n') + QString(line.size(), QLatin1Char(' ')));
      }
    }
    text += line + QLatin1Char('\n');
  }
  return text.toUtf8();
}

// Settings in the order of the setting table, then any other member by name.
QByteArray objectTable(const QJsonObject& object, bool switches) {
  QStringList keys;
  for (const control::ControlSetting::Id id : control::ControlSetting::all()) {
    if (object.contains(control::ControlSetting::word(id))) {
      keys << control::ControlSetting::word(id);
    }
  }
  for (const QString& key : object.keys()) {
    if (!keys.contains(key)) keys << key;
  }
  std::vector<QStringList> rows;
  for (const QString& key : keys) rows.push_back({key, valueText(object.value(key), switches)});
  return table(rows);
}

QByteArray listTable(const QJsonArray& cameras) {
  if (cameras.isEmpty()) return QByteArrayLiteral("No camera found.\n");
  std::vector<QStringList> rows(1);
  for (const char* column : kListColumns) rows[0] << QString::fromLatin1(column).toUpper();
  for (const QJsonValue& camera : cameras) {
    QStringList row;
    for (const char* column : kListColumns) {
      row << valueText(camera.toObject().value(QLatin1String(column)));
    }
    rows.push_back(row);
  }
  return table(rows);
}

QByteArray presetTable(const QJsonArray& presets) {
  if (presets.isEmpty()) return QByteArrayLiteral("No preset is saved for this camera model.\n");
  std::vector<QStringList> rows{{QStringLiteral("NAME"), QStringLiteral("CONTROLS")}};
  for (const QJsonValue& preset : presets) {
    rows.push_back({preset[QLatin1StringView("name")].toString(),
                    valueText(preset[QLatin1StringView("controls")])});
  }
  return table(rows);
}

// What a preset had to give up or change to fit the camera, by preset.
QByteArray adjustedTable(const QJsonArray& adjusted) {
  if (adjusted.isEmpty()) return {};
  std::vector<QStringList> rows;
  for (const QJsonValue& item : adjusted) {
    rows.push_back({QStringLiteral("  ") + item[QLatin1StringView("preset")].toString(),
                    item[QLatin1StringView("text")].toString()});
  }
  return QByteArrayLiteral("Adjusted to this camera's controls:\n") + table(rows);
}

// The doctor's findings are its answer, printed whether or not every camera can be used.
bool hasFindings(Command command, const control::ControlReply& reply) {
  return command == Command::Doctor && reply.result.isArray();
}

}  // namespace

QByteArray CtlOutput::standardOutput(Command command, const control::ControlReply& reply,
                                     bool json) {
  return json ? CtlOutput::json(command, reply) : text(command, reply);
}

QByteArray CtlOutput::errorOutput(Command command, const control::ControlReply& reply) {
  if (reply.ok()) return {};
  if (hasFindings(command, reply)) {
    return QByteArrayLiteral("vexhalctl: a camera cannot be used; its fix is in the findings\n");
  }
  QString message = reply.message.isEmpty() ? QStringLiteral("failed") : reply.message;
  if (reply.code && !message.contains(QString::number(*reply.code))) {
    message += QStringLiteral(" (code %1)").arg(*reply.code);
  }
  return QStringLiteral("vexhalctl: %1\n").arg(message).toUtf8();
}

QByteArray CtlOutput::json(Command command, const control::ControlReply& reply) {
  QJsonDocument document;
  const bool array = command == Command::List || command == Command::Preset;
  if ((reply.ok() && array && reply.result.isArray()) || hasFindings(command, reply)) {
    document.setArray(reply.result.toArray());
  } else if (reply.ok() && command == Command::Get) {
    document.setObject(reply.result.toObject());
  } else {
    QJsonObject object{{QStringLiteral("ok"), reply.ok()}};
    if (reply.code) object.insert(QStringLiteral("code"), static_cast<qint64>(*reply.code));
    if (!reply.message.isEmpty()) object.insert(QStringLiteral("message"), reply.message);
    if (reply.ok() && !reply.result.isNull() && !reply.result.isUndefined()) {
      object.insert(QStringLiteral("result"), reply.result);
    }
    if (reply.ok() && command == Command::Preset) {
      object.insert(QStringLiteral("adjusted"), reply.adjusted);
    }
    document.setObject(object);
  }
  return document.toJson(QJsonDocument::Compact) + '\n';
}

QByteArray CtlOutput::text(Command command, const control::ControlReply& reply) {
  if (hasFindings(command, reply)) return reply.message.toUtf8() + '\n';
  if (!reply.ok()) return {};
  QByteArray text;
  if (command == Command::List) {
    text = listTable(reply.result.toArray());
  } else if (command == Command::Preset) {
    if (reply.result.isArray()) text = presetTable(reply.result.toArray());
  } else if (reply.result.isObject()) {
    const bool settings = command == Command::Get || command == Command::Set;
    text = objectTable(reply.result.toObject(), settings);
  }
  if (!reply.message.isEmpty()) text += reply.message.toUtf8() + '\n';
  return text + adjustedTable(reply.adjusted);
}

}  // namespace vexhal::cli
