#include "control/ControlRequest.h"

#include <QJsonArray>

#include <array>
#include <utility>

#include "control/ProtocolFields.h"

namespace vexhal::control {

namespace {

using Command = ControlRequest::Command;
using protocol::fail;

constexpr std::array<std::pair<Command, const char*>, 8> kWords{{
    {Command::List, "list"},
    {Command::Get, "get"},
    {Command::Set, "set"},
    {Command::Save, "save"},
    {Command::Firmware, "firmware"},
    {Command::CheckUpdate, "check-update"},
    {Command::Diagnostics, "diagnostics"},
    {Command::Doctor, "doctor"},
}};

// Bounds a peer cannot go past: more settings than a camera has many times over, and texts far
// longer than any serial number or path.
constexpr qsizetype kMaxSettings = 64;
constexpr qsizetype kMaxItemLength = 256;
constexpr qsizetype kMaxPathLength = 4096;
constexpr std::int64_t kMaxTimeoutMs = 24LL * 3600 * 1000;

// The optional text member `key`: empty when absent, nothing (with the reason) when it is not a
// text or longer than `maxLength`.
std::optional<QString> text(const QJsonObject& object, const char* key, qsizetype maxLength,
                            QString* error) {
  const QJsonValue value = object.value(QLatin1StringView(key));
  if (value.isUndefined()) {
    return QString();
  }
  if (!value.isString()) {
    return fail(error, QStringLiteral("\"%1\" must be a text").arg(QLatin1StringView(key)));
  }
  if (value.toString().size() > maxLength) {
    return fail(error, QStringLiteral("\"%1\" is longer than %2 characters")
                           .arg(QLatin1StringView(key))
                           .arg(maxLength));
  }
  return value.toString();
}

}  // namespace

QString commandWord(Command command) {
  for (const auto& [known, word] : kWords) {
    if (known == command) {
      return QString::fromLatin1(word);
    }
  }
  return {};
}

std::optional<Command> commandFromWord(const QString& word) {
  for (const auto& [command, known] : kWords) {
    if (word == QLatin1StringView(known)) {
      return command;
    }
  }
  return std::nullopt;
}

QJsonObject toJson(const ControlRequest& request) {
  QJsonObject object{{QStringLiteral("v"), ControlRequest::kProtocolVersion},
                     {QStringLiteral("command"), commandWord(request.command)},
                     {QStringLiteral("wait"), request.wait},
                     {QStringLiteral("timeout_ms"), static_cast<qint64>(request.timeout.count())}};
  if (!request.camera.isEmpty()) {
    object.insert(QStringLiteral("camera"), request.camera);
  }
  if (!request.settings.isEmpty()) {
    object.insert(QStringLiteral("settings"), QJsonArray::fromStringList(request.settings));
  }
  if (!request.file.isEmpty()) {
    object.insert(QStringLiteral("file"), request.file);
  }
  if (request.maskSerials) {
    object.insert(QStringLiteral("mask_serial"), true);
  }
  return object;
}

std::optional<ControlRequest> requestFromJson(const QJsonObject& object, QString* error) {
  QString why;
  if (!protocol::checkVersion(object, &why)) {
    return fail(error, why);
  }
  ControlRequest request;
  const QJsonValue command = object.value(QLatin1StringView("command"));
  const std::optional<Command> known =
      command.isString() ? commandFromWord(command.toString()) : std::nullopt;
  if (!known) {
    return fail(error,
                command.isString()
                    ? QStringLiteral("unknown command \"%1\"").arg(command.toString().left(64))
                    : QStringLiteral("\"command\" must be a text"));
  }
  request.command = *known;

  const std::optional<QString> camera = text(object, "camera", kMaxItemLength, error);
  const std::optional<QString> file =
      camera ? text(object, "file", kMaxPathLength, error) : std::nullopt;
  if (!camera || !file) {
    return std::nullopt;
  }
  request.camera = *camera;
  request.file = *file;

  const QJsonValue settings = object.value(QLatin1StringView("settings"));
  if (!settings.isUndefined()) {
    if (!settings.isArray()) {
      return fail(error, QStringLiteral("\"settings\" must be a list of texts"));
    }
    const QJsonArray items = settings.toArray();
    if (items.size() > kMaxSettings) {
      return fail(error, QStringLiteral("more than %1 settings").arg(kMaxSettings));
    }
    for (const QJsonValue& item : items) {
      if (!item.isString() || item.toString().size() > kMaxItemLength) {
        return fail(error, QStringLiteral("each setting must be a text of at most %1 characters")
                               .arg(kMaxItemLength));
      }
      request.settings.append(item.toString());
    }
  }

  const QJsonValue wait = object.value(QLatin1StringView("wait"));
  if (!wait.isUndefined() && !wait.isBool()) {
    return fail(error, QStringLiteral("\"wait\" must be true or false"));
  }
  request.wait = wait.toBool(true);

  const QJsonValue mask = object.value(QLatin1StringView("mask_serial"));
  if (!mask.isUndefined() && !mask.isBool()) {
    return fail(error, QStringLiteral("\"mask_serial\" must be true or false"));
  }
  request.maskSerials = mask.toBool(false);

  const QJsonValue timeout = object.value(QLatin1StringView("timeout_ms"));
  if (!timeout.isUndefined()) {
    const std::optional<std::int64_t> ms = protocol::wholeNumber(timeout, 1, kMaxTimeoutMs);
    if (!ms) {
      return fail(
          error,
          QStringLiteral("\"timeout_ms\" must be a whole number from 1 to %1").arg(kMaxTimeoutMs));
    }
    request.timeout = std::chrono::milliseconds(*ms);
  }
  return request;
}

}  // namespace vexhal::control
