#include "section/camera_control/QDataBase.h"

#include <QSettings>

#include <array>
#include <limits>

namespace vexhal {
namespace {

const QString kParamsGroup = QStringLiteral("UVCParams");
const QString kMode = QStringLiteral("mode");
const QString kBrightness = QStringLiteral("brightness");
const QString kContrast = QStringLiteral("contrast");
const QString kSaturation = QStringLiteral("saturation");
const QString kSharpness = QStringLiteral("sharpness");

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

}  // namespace

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
      group += QStringLiteral("_u") +
               QStringLiteral("%1").arg(unit, 4, 16, QLatin1Char('0')).toUpper();
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
  }
  settings->endGroup();
  settings->endGroup();
  return params;
}

bool QDataBase::setUVCParams(const QUVCParams& params, const QString& serialNumber) {
  const std::unique_ptr<QSettings> settings = open();
  // Reading a damaged file leaves a format error behind, which would hide a failed write, so
  // whether the file can be written is asked first.
  if (!settings->isWritable()) {
    return false;
  }
  settings->beginGroup(kParamsGroup);
  settings->remove(groupFor(serialNumber));
  settings->beginGroup(groupFor(serialNumber));
  settings->setValue(kMode, static_cast<qlonglong>(QUVCParams::rawValue(params.mode)));
  settings->setValue(kBrightness, static_cast<qlonglong>(params.brightness));
  settings->setValue(kContrast, static_cast<qlonglong>(params.contrast));
  settings->setValue(kSaturation, static_cast<qlonglong>(params.saturation));
  settings->setValue(kSharpness, static_cast<qlonglong>(params.sharpness));
  settings->endGroup();
  settings->endGroup();
  settings->sync();
  return settings->status() != QSettings::AccessError;
}

}  // namespace vexhal
