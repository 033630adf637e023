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

}  // namespace

ImageControlFacts ImageControlFacts::read(UVCCameraControl& control) {
  ImageControlFacts facts;
  facts.reachable = control.hasInterface();
  if (!facts.reachable) return facts;
  for (const auto& [name, info] : kControls) {
    const auto get = [&, &info = info](std::uint8_t request) {
      return control.getDataFor(request, info.size, info.selector, info.unit);
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
                            {QStringLiteral("min"), qint64(c.minimum)},
                            {QStringLiteral("max"), qint64(c.maximum)},
                            {QStringLiteral("default"), qint64(c.defaultValue)},
                            {QStringLiteral("current"), qint64(c.current)}});
  return list;
}

QStringList ImageControlFacts::toText() const {
  if (!reachable) return {QStringLiteral("  not reachable")};
  QStringList lines;
  for (const Control& c : controls)
    lines.append(QStringLiteral("  %1: %2 (range %3..%4, default %5)")
                     .arg(c.name)
                     .arg(c.current)
                     .arg(c.minimum)
                     .arg(c.maximum)
                     .arg(c.defaultValue));
  return lines;
}

}  // namespace vexhal::diagnostics
