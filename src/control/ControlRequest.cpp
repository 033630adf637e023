#include "control/ControlRequest.h"

#include <QJsonArray>

#include <array>
#include <utility>

#include "control/ProtocolFields.h"

namespace vexhal::control {

namespace {

using Command = ControlRequest::Command;
using protocol::fail;

using PresetAction = ControlRequest::PresetAction;

constexpr std::array<std::pair<Command, const char*>, 10> kWords{{
    {Command::List, "list"},
    {Command::Get, "get"},
    {Command::Set, "set"},
    {Command::Save, "save"},
    {Command::Firmware, "firmware"},
    {Command::CheckUpdate, "check-update"},
    {Command::Diagnostics, "diagnostics"},
    {Command::Doctor, "doctor"},
    {Command::Preset, "preset"},
    {Command::Demo, "demo"},
}};

constexpr std::array<std::pair<PresetAction, const char*>, 5> kPresetWords{{
    {PresetAction::List, "list"},
    {PresetAction::Save, "save"},
    {PresetAction::Apply, "apply"},
    {PresetAction::Export, "export"},
    {PresetAction::Import, "import"},
}};

template <typename Enum, std::size_t N>
QString wordOf(const std::array<std::pair<Enum, const char*>, N>& words, Enum value) {
  for (const auto& [known, word] : words) {
    if (known == value) {
      return QString::fromLatin1(word);
    }
  }
  return {};
}

template <typename Enum, std::size_t N>
std::optional<Enum> valueOf(const std::array<std::pair<Enum, const char*>, N>& words,
                            const QString& word) {
  for (const auto& [value, known] : words) {
    if (word == QLatin1StringView(known)) {
      return value;
    }
  }
  return std::nullopt;
}

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

QString commandWord(Command command) { return wordOf(kWords, command); }

std::optional<Command> commandFromWord(const QString& word) { return valueOf(kWords, word); }

QString presetActionWord(PresetAction action) { return wordOf(kPresetWords, action); }

std::optional<PresetAction> presetActionFromWord(const QString& word) {
  return valueOf(kPresetWords, word);
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
  // Members older programs do not know travel only with the command they belong to.
  if (request.command == Command::Preset) {
    object.insert(QStringLiteral("action"), presetActionWord(request.presetAction));
    if (!request.presetName.isEmpty()) {
      object.insert(QStringLiteral("name"), request.presetName);
    }
    if (request.allPresets) {
      object.insert(QStringLiteral("all"), true);
    }
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

  if (request.command == Command::Preset) {
    const QJsonValue action = object.value(QLatin1StringView("action"));
    const std::optional<PresetAction> named =
        action.isString() ? presetActionFromWord(action.toString()) : std::nullopt;
    if (!named) {
      return fail(error, QStringLiteral("\"action\" must be list, save, apply, export or import"));
    }
    request.presetAction = *named;
    const std::optional<QString> name = text(object, "name", kMaxItemLength, error);
    if (!name) {
      return std::nullopt;
    }
    request.presetName = *name;
    const QJsonValue all = object.value(QLatin1StringView("all"));
    if (!all.isUndefined() && !all.isBool()) {
      return fail(error, QStringLiteral("\"all\" must be true or false"));
    }
    request.allPresets = all.toBool(false);
  }

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
