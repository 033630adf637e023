#include "control/PresetCommand.h"

#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <set>

#include "control/ControlSetting.h"
#include "preset/QPresetFile.h"
#include "section/camera_control/QFunctionControlModel.h"
#include "section/camera_control/QImageControlModel.h"

namespace vexhal::control {

namespace {

using Field = QHIDSetting::Field;

constexpr qsizetype kMaxNameLength = 128;

QString kindWord(QPresetAdjustment::Kind kind) {
  switch (kind) {
    case QPresetAdjustment::Kind::skipped:
      return QStringLiteral("skipped");
    case QPresetAdjustment::Kind::clamped:
      return QStringLiteral("clamped");
    case QPresetAdjustment::Kind::scaled:
      break;
  }
  return QStringLiteral("scaled");
}

QJsonObject functionsJson(const QHIDParams& functions) {
  QJsonObject object;
  for (const ControlSetting::Id id : ControlSetting::all()) {
    if (const std::optional<Field> field = ControlSetting::hidField(id)) {
      object.insert(ControlSetting::word(id),
                    ControlSetting::toJson(id, fieldValue(functions, *field)));
    }
  }
  return object;
}

ControlReply done(QJsonValue result, QString message = QString()) {
  return {ExitCode::Done, std::move(result), std::move(message), std::nullopt};
}

ControlReply failed(ExitCode exit, const QString& message) {
  return {exit, QJsonValue(), message, std::nullopt};
}

QJsonArray names(const QStringList& list) { return QJsonArray::fromStringList(list); }

}  // namespace

QString PresetCommand::nameProblem(const QString& name) {
  if (name.trimmed().isEmpty()) {
    return QStringLiteral("a preset needs a name");
  }
  if (name.size() > kMaxNameLength) {
    return QStringLiteral("a preset's name has at most %1 characters").arg(kMaxNameLength);
  }
  if (std::any_of(name.begin(), name.end(),
                  [](QChar c) { return c.category() == QChar::Other_Control; })) {
    return QStringLiteral("a preset's name has no control characters");
  }
  return {};
}

ControlReply PresetCommand::list() const {
  QJsonArray presets;
  for (const QPreset& preset : store_.presets()) {
    presets.append(
        QJsonObject{{QStringLiteral("name"), preset.name},
                    {QStringLiteral("functions"), functionsJson(preset.functions)},
                    {QStringLiteral("controls"), static_cast<qint64>(preset.controls.size())}});
  }
  return done(presets);
}

std::optional<QPreset> PresetCommand::find(const QString& name, ControlReply* failure) const {
  std::optional<QPreset> preset = store_.find(name);
  if (!preset) {
    QStringList known;
    for (const QPreset& stored : store_.presets()) known.append(stored.name);
    *failure =
        failed(ExitCode::Usage,
               known.isEmpty() ? QStringLiteral("No preset is saved for this camera model.")
                               : QStringLiteral("No preset is named \"%1\"; the presets are %2.")
                                     .arg(name, known.join(QStringLiteral(", "))));
  }
  return preset;
}

ControlReply PresetCommand::save(const QString& name, const QHIDParams& functions,
                                 const std::vector<VideoControl>& camera) {
  const QPreset preset{name, functions, controlValues(camera)};
  QString error;
  if (!store_.save(preset, &error)) {
    return failed(ExitCode::Failed, QStringLiteral("The preset was not saved: %1").arg(error));
  }
  return done(
      QJsonObject{{QStringLiteral("name"), name},
                  {QStringLiteral("functions"), functionsJson(functions)},
                  {QStringLiteral("controls"), static_cast<qint64>(preset.controls.size())}},
      QStringLiteral("Saved preset \"%1\": the functions and %2 image controls.")
          .arg(name)
          .arg(preset.controls.size()));
}

ControlReply PresetCommand::exportTo(const QString& name, const QString& file) const {
  std::vector<QPreset> presets;
  if (name.isEmpty()) {
    presets = store_.presets();
    if (presets.empty()) {
      return failed(ExitCode::Usage, QStringLiteral("No preset is saved for this camera model."));
    }
  } else {
    ControlReply failure;
    const std::optional<QPreset> preset = find(name, &failure);
    if (!preset) {
      return failure;
    }
    presets.push_back(*preset);
  }
  QString error;
  if (!QPresetFile::write(file, presets, &error)) {
    return failed(ExitCode::Failed, error);
  }
  QStringList exported;
  for (const QPreset& preset : presets) exported.append(preset.name);
  return done(
      QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("presets"), names(exported)}},
      QStringLiteral("Wrote %1 to %2.").arg(exported.join(QStringLiteral(", ")), file));
}

ControlReply PresetCommand::importFrom(const QString& file,
                                       const std::vector<VideoControl>& camera) {
  QString error;
  const std::optional<std::vector<QPreset>> presets = QPresetFile::read(file, &error);
  if (!presets) {
    return failed(ExitCode::Usage, QStringLiteral("%1 was not imported: %2").arg(file, error));
  }
  for (const QPreset& preset : *presets) {
    if (const QString problem = nameProblem(preset.name); !problem.isEmpty()) {
      return failed(ExitCode::Usage, QStringLiteral("%1 was not imported: %2").arg(file, problem));
    }
  }
  std::set<QString> existing;
  for (const QPreset& stored : store_.presets()) existing.insert(stored.name);
  QStringList added;
  QStringList replaced;
  QJsonArray adjusted;
  for (const QPreset& preset : *presets) {
    if (!store_.save(preset, &error)) {
      return failed(ExitCode::Failed,
                    QStringLiteral("Preset \"%1\" was not stored: %2%3")
                        .arg(preset.name, error,
                             added.isEmpty() && replaced.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" (stored before it: %1)")
                                       .arg((added + replaced).join(QStringLiteral(", ")))));
    }
    if (added.contains(preset.name) || replaced.contains(preset.name)) {
      continue;  // a file naming a preset twice: the later one stands
    }
    (existing.count(preset.name) != 0 ? replaced : added).append(preset.name);
    for (const QJsonValue& item : adjustments(preset.name, fitPreset(preset.controls, camera))) {
      adjusted.append(item);
    }
  }
  QStringList told;
  if (!added.isEmpty())
    told.append(QStringLiteral("Added: %1").arg(added.join(QStringLiteral(", "))));
  if (!replaced.isEmpty()) {
    told.append(QStringLiteral("Replaced: %1").arg(replaced.join(QStringLiteral(", "))));
  }
  ControlReply reply = done(QJsonObject{{QStringLiteral("added"), names(added)},
                                        {QStringLiteral("replaced"), names(replaced)}},
                            told.join(u'\n'));
  reply.adjusted = adjusted;
  return reply;
}

QJsonArray PresetCommand::adjustments(const QString& preset, const QPresetFit& fit) {
  const QStringList lines = fit.describe();
  QJsonArray out;
  for (std::size_t i = 0; i < fit.adjustments.size(); ++i) {
    const QPresetAdjustment& adjustment = fit.adjustments[i];
    QJsonObject item{{QStringLiteral("preset"), preset},
                     {QStringLiteral("control"), QString::fromStdString(adjustment.key)},
                     {QStringLiteral("change"), kindWord(adjustment.kind)},
                     {QStringLiteral("from"), static_cast<qint64>(adjustment.from)}};
    if (adjustment.kind != QPresetAdjustment::Kind::skipped) {
      item.insert(QStringLiteral("to"), static_cast<qint64>(adjustment.to));
    }
    const auto at = static_cast<qsizetype>(i);
    item.insert(QStringLiteral("text"),
                at < lines.size()
                    ? lines[at]
                    : QStringLiteral("%1: %2").arg(item[QStringLiteral("control")].toString(),
                                                   kindWord(adjustment.kind)));
    out.append(item);
  }
  return out;
}

std::vector<QHIDSetting> PresetCommand::functionCommands(const QHIDParams& functions) {
  std::vector<QHIDSetting> commands;
  for (const Field field : {Field::autoFraming, Field::frameMaster}) {
    if (fieldValue(functions, field) == 0) commands.push_back({field, 0});
  }
  for (const Field field : {Field::autoFramingMode, Field::angle, Field::hMirror, Field::pickup}) {
    commands.push_back({field, fieldValue(functions, field)});
  }
  for (const Field field : {Field::autoFraming, Field::frameMaster}) {
    if (fieldValue(functions, field) != 0) commands.push_back({field, 1});
  }
  return commands;
}

QUVCParams PresetCommand::heldValues(const std::vector<VideoControl>& camera,
                                     const std::vector<QPresetFit::Setting>& sent) {
  QUVCParams held;
  held.mode = QUVCParams::ImageMode::custom;
  for (const VideoControl& control : camera) {
    if (control.readOnly) {
      continue;
    }
    const auto it = std::find_if(sent.begin(), sent.end(), [&control](const auto& setting) {
      return setting.id == control.id;
    });
    const std::int64_t value = it != sent.end() ? it->value : control.value;
    if (const std::optional<QUVCSetting::Control> image = imageControlOf(control.id)) {
      setControlValue(held, *image, value);
    } else {
      held.further[control.key] = {value, control.minimum, control.maximum, control.step,
                                   control.defaultValue};
    }
  }
  return held;
}

}  // namespace vexhal::control
