#include "section/camera_control/QDataBase.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>
#include <limits>
#include <string_view>

#include "device/uvc/VideoControl.h"

namespace vexhal {
namespace {

const QString kParamsGroup = QStringLiteral("UVCParams");
// The keep switch of each camera, in a group of its own so that the records stay as older
// versions wrote and read them.
const QString kKeepGroup = QStringLiteral("KeepUVCParams");
const QString kMode = QStringLiteral("mode");
const QString kBrightness = QStringLiteral("brightness");
const QString kContrast = QStringLiteral("contrast");
const QString kSaturation = QStringLiteral("saturation");
const QString kSharpness = QStringLiteral("sharpness");

// The further controls, each a group of its own under the record's: "controls/gain/value",
// "controls/gain/minimum" and so on. Earlier versions read the record's own keys only, and
// records without the group read as before.
const QString kControls = QStringLiteral("controls");
constexpr std::pair<const char*, std::int64_t QControlValue::*> kControlFields[] = {
    {"value", &QControlValue::value},
    {"minimum", &QControlValue::minimum},
    {"maximum", &QControlValue::maximum},
    {"step", &QControlValue::step},
    {"default", &QControlValue::defaultValue}};

constexpr std::int64_t kMissingValue = 128;

// The stored value as a 64-bit integer, if it is one. A settings file gives back text, so
// text counts when it is a whole decimal number that fits.
std::optional<std::int64_t> integerOf(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::UShort:
      return value.toLongLong();
    case QMetaType::ULongLong: {
      const qulonglong unsignedValue = value.toULongLong();
      if (unsignedValue > static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max())) {
        return std::nullopt;
      }
      return static_cast<std::int64_t>(unsignedValue);
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
      bool ok = false;
      const qlonglong parsed = value.toString().toLongLong(&ok, 10);
      return ok ? std::optional<std::int64_t>(parsed) : std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

// Whether the settings file on disk holds what `holds` looks for. Read from a copy: the settings
// objects of this process share what they read and what they failed to write, per file name.
bool fileHolds(const QString& fileName, const std::function<bool(const QString&)>& holds) {
  QFile file(fileName);
  const QTemporaryDir dir;
  if (!dir.isValid() || !file.open(QIODevice::ReadOnly)) {
    return false;
  }
  QFile copy(dir.filePath(QStringLiteral("copy.conf")));
  const QByteArray text = file.readAll();
  if (!copy.open(QIODevice::WriteOnly) || copy.write(text) != text.size() || !copy.flush()) {
    return false;
  }
  copy.close();
  return holds(copy.fileName());
}

bool isControlKey(const std::string& key) { return !key.empty() && videoControlKey(key) == key; }

// The further controls of the record `settings` is in; an entry that is not whole is left out.
std::map<std::string, QControlValue> readControls(QSettings& settings) {
  std::map<std::string, QControlValue> controls;
  settings.beginGroup(kControls);
  for (const QString& group : settings.childGroups()) {
    QControlValue control;
    bool whole = isControlKey(group.toStdString());
    for (const auto& [name, field] : kControlFields) {
      const auto number = integerOf(settings.value(group + u'/' + QLatin1String(name)));
      whole = whole && number;
      control.*field = number.value_or(0);
    }
    if (whole) controls.emplace(group.toStdString(), control);
  }
  settings.endGroup();
  return controls;
}

}  // namespace

// The status keeps the first error met: a damaged line read before the write hides whether the
// write worked, so the file itself is asked then.
bool QDataBase::writeThrough(QSettings& settings,
                             const std::function<bool(const QString&)>& holds) {
  settings.sync();
  const QSettings::Status status = settings.status();
  return status == QSettings::NoError ||
         (status == QSettings::FormatError && fileHolds(settings.fileName(), holds));
}

std::unique_ptr<QSettings> QDataBase::open() const {
  return fileName_.isEmpty() ? std::make_unique<QSettings>()
                             : std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
}

QString QDataBase::groupFor(const QString& serialNumber) {
  if (serialNumber.isEmpty()) {
    return QStringLiteral("_");
  }
  QString group;
  group.reserve(serialNumber.size());
  for (const QChar ch : serialNumber) {
    const char16_t unit = ch.unicode();
    const bool plain = (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
                       (unit >= u'0' && unit <= u'9') || unit == u'-' || unit == u'.';
    if (plain) {
      group += ch;
    } else if (unit <= 0xFF) {
      group += QStringLiteral("_%1").arg(unit, 2, 16, QLatin1Char('0')).toUpper();
    } else {
      // Code units, not code points, so a lone surrogate keeps its own group too.
      group +=
          QStringLiteral("_u") + QStringLiteral("%1").arg(unit, 4, 16, QLatin1Char('0')).toUpper();
    }
  }
  return group;
}

std::optional<QUVCParams> QDataBase::getUVCParams(const QString& serialNumber) const {
  const std::unique_ptr<QSettings> settings = open();
  settings->beginGroup(kParamsGroup);
  settings->beginGroup(groupFor(serialNumber));
  const bool stored = !settings->childKeys().isEmpty() || !settings->childGroups().isEmpty();
  std::optional<QUVCParams> params;
  if (stored) {
    params.emplace();
    const std::optional<std::int64_t> mode = integerOf(settings->value(kMode));
    params->mode = mode && *mode < QUVCParams::rawValue(QUVCParams::ImageMode::custom)
                       ? QUVCParams::imageMode(*mode).value_or(QUVCParams::ImageMode::custom)
                       : QUVCParams::ImageMode::custom;
    const auto read = [&settings](const QString& key) {
      return integerOf(settings->value(key)).value_or(kMissingValue);
    };
    params->brightness = read(kBrightness);
    params->contrast = read(kContrast);
    params->saturation = read(kSaturation);
    params->sharpness = read(kSharpness);
    params->further = readControls(*settings);
  }
  settings->endGroup();
  settings->endGroup();
  return params;
}

std::optional<QString> QDataBase::storageKey(const std::optional<std::string>& serialNumber) {
  if (!serialNumber) {
    return std::nullopt;
  }
  std::string_view text = *serialNumber;
  while (!text.empty() && text.back() == '\0') {
    text.remove_suffix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<QUVCParams> QDataBase::findUVCParams(
    const std::optional<std::string>& serialNumber) const {
  const std::optional<QString> key = storageKey(serialNumber);
  if (!key) {
    return std::nullopt;
  }
  if (std::optional<QUVCParams> params = getUVCParams(*key)) {
    return params;
  }
  const QString padded =
      QString::fromUtf8(serialNumber->data(), static_cast<qsizetype>(serialNumber->size()));
  return padded != *key ? getUVCParams(padded) : std::nullopt;
}

bool QDataBase::setUVCParams(const QUVCParams& params, const QString& serialNumber) const {
  const std::unique_ptr<QSettings> settings = open();
  const QString group = kParamsGroup + u'/' + groupFor(serialNumber);
  settings->beginGroup(group);
  QVariantMap before;
  for (const QString& key : settings->allKeys()) {
    before.insert(key, settings->value(key));
  }
  settings->endGroup();

  const auto write = [&settings, &group](const QVariantMap& entries) {
    settings->remove(group);
    settings->beginGroup(group);
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
      settings->setValue(entry.key(), entry.value());
    }
    settings->endGroup();
  };
  QVariantMap entries{{kMode, static_cast<qlonglong>(QUVCParams::rawValue(params.mode))},
                      {kBrightness, static_cast<qlonglong>(params.brightness)},
                      {kContrast, static_cast<qlonglong>(params.contrast)},
                      {kSaturation, static_cast<qlonglong>(params.saturation)},
                      {kSharpness, static_cast<qlonglong>(params.sharpness)}};
  // A key that is not a control's could not be read back as one, so it is not written.
  QUVCParams stored = params;
  std::erase_if(stored.further, [](const auto& entry) { return !isControlKey(entry.first); });
  for (const auto& [key, control] : stored.further) {
    for (const auto& [name, field] : kControlFields) {
      entries.insert(kControls + u'/' + QString::fromStdString(key) + u'/' + QLatin1String(name),
                     static_cast<qlonglong>(control.*field));
    }
  }
  write(entries);
  if (writeThrough(*settings, [&](const QString& copy) {
        return QDataBase(copy).getUVCParams(serialNumber) == stored;
      })) {
    return true;
  }
  // Unwritten changes stay with the file's shared settings data; put the old record back there,
  // so that nothing in this process reads the new one as stored.
  write(before);
  return false;
}

bool QDataBase::keepsImageSettings(const QString& storageKey) const {
  const QVariant value = open()->value(kKeepGroup + u'/' + groupFor(storageKey));
  // A settings file gives back text (and this process's own writes a bool): only "false" is off.
  return value.toString() != QStringLiteral("false");
}

bool QDataBase::setKeepsImageSettings(const QString& storageKey, bool keep) const {
  const std::unique_ptr<QSettings> settings = open();
  const QString key = kKeepGroup + u'/' + groupFor(storageKey);
  const QVariant before = settings->value(key);
  settings->setValue(key, keep);
  if (writeThrough(*settings, [&](const QString& copy) {
        return QDataBase(copy).keepsImageSettings(storageKey) == keep;
      })) {
    return true;
  }
  // As for a record: the unwritten value must not be read as stored in this process.
  if (before.isValid()) {
    settings->setValue(key, before);
  } else {
    settings->remove(key);
  }
  return false;
}

}  // namespace vexhal
