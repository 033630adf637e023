#include "preset/QPresetStore.h"

#include <QSettings>

#include <algorithm>

#include "preset/QPresetFile.h"
#include "section/camera_control/QDataBase.h"

namespace vexhal {
namespace {

const QString kPresetsGroup = QStringLiteral("Presets");

void report(QString* error, const QString& message) {
  if (error != nullptr) *error = message;
}

// A stored entry: a preset file's text holding the one preset, so that the store and the files
// accept exactly the same presets.
std::optional<QPreset> parse(const QVariant& entry) {
  const std::optional<std::vector<QPreset>> presets =
      QPresetFile::fromJson(entry.toString().toUtf8(), nullptr);
  if (!presets || presets->size() != 1) return std::nullopt;
  return presets->front();
}

}  // namespace

QPresetStore::QPresetStore(QString modelKey, QString fileName)
    : modelKey_(std::move(modelKey)), fileName_(std::move(fileName)) {}

QString QPresetStore::modelKey(std::uint16_t vendorId, std::uint16_t productId) {
  return QStringLiteral("%1-%2")
      .arg(vendorId, 4, 16, QLatin1Char('0'))
      .arg(productId, 4, 16, QLatin1Char('0'));
}

std::unique_ptr<QSettings> QPresetStore::open() const {
  auto settings = fileName_.isEmpty()
                      ? std::make_unique<QSettings>()
                      : std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
  settings->beginGroup(kPresetsGroup + u'/' + QDataBase::groupFor(modelKey_));
  return settings;
}

std::vector<QPreset> QPresetStore::presets() const {
  const std::unique_ptr<QSettings> settings = open();
  std::vector<QPreset> presets;
  for (const QString& key : settings->childKeys()) {
    std::optional<QPreset> preset = parse(settings->value(key));
    // An entry under another name's key was not written by this store.
    if (preset && QDataBase::groupFor(preset->name) == key) presets.push_back(std::move(*preset));
  }
  std::sort(presets.begin(), presets.end(), [](const QPreset& a, const QPreset& b) {
    const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a.name < b.name;
  });
  return presets;
}

std::optional<QPreset> QPresetStore::find(const QString& name) const {
  std::optional<QPreset> preset = parse(open()->value(QDataBase::groupFor(name)));
  return preset && preset->name == name ? preset : std::nullopt;
}

bool QPresetStore::save(const QPreset& preset, QString* error) {
  if (preset.name.trimmed().isEmpty()) {
    report(error, QStringLiteral("A preset needs a name."));
    return false;
  }
  const QByteArray text = QPresetFile::toJson({preset});
  QString invalid;
  if (!QPresetFile::fromJson(text, &invalid)) {
    report(error, invalid);
    return false;
  }
  const std::unique_ptr<QSettings> settings = open();
  const QString key = QDataBase::groupFor(preset.name);
  const QVariant before = settings->value(key);
  settings->setValue(key, QString::fromUtf8(text));
  if (QDataBase::writeThrough(*settings, [&](const QString& copy) {
        return QPresetStore(modelKey_, copy).find(preset.name) == preset;
      })) {
    return true;
  }
  // Unwritten values stay with the file's shared settings data: put the old one back there.
  if (before.isValid()) {
    settings->setValue(key, before);
  } else {
    settings->remove(key);
  }
  report(error, QStringLiteral("The preset \"%1\" could not be saved: the settings file %2 could "
                               "not be written.")
                    .arg(preset.name, settings->fileName()));
  return false;
}

bool QPresetStore::rename(const QString& from, const QString& to, QString* error) {
  std::optional<QPreset> preset = find(from);
  if (!preset) {
    report(error, QStringLiteral("There is no preset named \"%1\".").arg(from));
    return false;
  }
  if (to == from) return true;
  if (find(to)) {
    report(error, QStringLiteral("A preset named \"%1\" already exists.").arg(to));
    return false;
  }
  preset->name = to;
  return save(*preset, error) && remove(from, error);
}

bool QPresetStore::remove(const QString& name, QString* error) {
  if (!find(name)) {
    report(error, QStringLiteral("There is no preset named \"%1\".").arg(name));
    return false;
  }
  const std::unique_ptr<QSettings> settings = open();
  const QString key = QDataBase::groupFor(name);
  const QVariant before = settings->value(key);
  settings->remove(key);
  if (QDataBase::writeThrough(*settings, [&](const QString& copy) {
        return !QPresetStore(modelKey_, copy).find(name);
      })) {
    return true;
  }
  settings->setValue(key, before);
  report(error, QStringLiteral("The preset \"%1\" could not be deleted: the settings file %2 could "
                               "not be written.")
                    .arg(name, settings->fileName()));
  return false;
}

}  // namespace vexhal
