#include "diagnostics/ImageControlFacts.h"

#include <QJsonObject>

#include <array>
#include <utility>

#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/UVCControlInfo.h"

namespace vexhal::diagnostics {

namespace {

constexpr std::array<std::pair<const char*, UVCControlInfo>, 12> kControls{{
    {"brightness", kUvcBrightness},
    {"contrast", kUvcContrast},
    {"saturation", kUvcSaturation},
    {"sharpness", kUvcSharpness},
    {"autoExposureMode", kUvcAutoExposureMode},
    {"exposureTime", kUvcExposureTime},
    {"gain", kUvcGain},
    {"whiteBalanceTemperature", kUvcWhiteBalanceTemperature},
    {"autoWhiteBalance", kUvcAutoWhiteBalance},
    {"peopleCentredFraming", kUvcPeopleCentredFraming},
    {"fieldOfView", kUvcFieldOfView},
    {"horizontalMirror", kUvcHorizontalMirror},
}};

// A value the camera refused to give is null in the report, "?" in its text.
QJsonValue jsonValue(const std::optional<std::int64_t>& value) {
  return value ? QJsonValue(qint64(*value)) : QJsonValue();
}
QString text(const std::optional<std::int64_t>& value) {
  return value ? QString::number(*value) : QStringLiteral("?");
}

}  // namespace

ImageControlFacts ImageControlFacts::read(UVCCameraControl& control) {
  ImageControlFacts facts;
  facts.reachable = control.hasInterface();
  if (!facts.reachable) return facts;
  for (const auto& [name, info] : kControls) {
    const auto get = [&, &info = info](std::uint8_t request) {
      return control.tryGetDataFor(request, info.size, info.selector, info.unit);
    };
    facts.controls.push_back({QString::fromLatin1(name), get(kUvcGetMin), get(kUvcGetMax),
                              get(kUvcGetDef), get(kUvcGetCur)});
  }
  return facts;
}

QJsonArray ImageControlFacts::toJson() const {
  QJsonArray list;
  for (const Control& c : controls)
    list.append(QJsonObject{{QStringLiteral("name"), c.name},
                            {QStringLiteral("min"), jsonValue(c.minimum)},
                            {QStringLiteral("max"), jsonValue(c.maximum)},
                            {QStringLiteral("default"), jsonValue(c.defaultValue)},
                            {QStringLiteral("current"), jsonValue(c.current)}});
  return list;
}

QStringList ImageControlFacts::toText() const {
  if (!reachable) return {QStringLiteral("  not reachable")};
  QStringList lines;
  for (const Control& c : controls)
    lines.append(QStringLiteral("  %1: %2 (range %3..%4, default %5)")
                     .arg(c.name)
                     .arg(text(c.current), text(c.minimum), text(c.maximum), text(c.defaultValue)));
  return lines;
}

}  // namespace vexhal::diagnostics
