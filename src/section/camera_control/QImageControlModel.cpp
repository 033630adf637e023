#include "section/camera_control/QImageControlModel.h"

#include <linux/videodev2.h>

#include <algorithm>

#include "section/camera_control/QCameraParamsMapping.h"

namespace vexhal {

namespace {

constexpr std::int64_t kMinimum = cameraparams::uvcValueOffset;
constexpr std::int64_t kMaximum = cameraparams::uvcValueOffset + cameraparams::kSliderMaximum;

std::int64_t* field(QUVCParams& params, QUVCSetting::Control control) {
  switch (control) {
    case QUVCSetting::Control::brightness:
      return &params.brightness;
    case QUVCSetting::Control::contrast:
      return &params.contrast;
    case QUVCSetting::Control::saturation:
      return &params.saturation;
    case QUVCSetting::Control::sharpness:
      return &params.sharpness;
  }
  return &params.brightness;
}

}  // namespace

std::int64_t controlValue(const QUVCParams& params, QUVCSetting::Control control) {
  return *field(const_cast<QUVCParams&>(params), control);
}

void setControlValue(QUVCParams& params, QUVCSetting::Control control, std::int64_t value) {
  *field(params, control) = value;
}

std::optional<QUVCSetting::Control> imageControlOf(std::uint32_t id) {
  switch (id) {
    case V4L2_CID_BRIGHTNESS:
      return QUVCSetting::Control::brightness;
    case V4L2_CID_CONTRAST:
      return QUVCSetting::Control::contrast;
    case V4L2_CID_SATURATION:
      return QUVCSetting::Control::saturation;
    case V4L2_CID_SHARPNESS:
      return QUVCSetting::Control::sharpness;
    default:
      return std::nullopt;
  }
}

bool QImageControlModel::hasChanges() const {
  return changeCameraParams_ && cameraParams_ && *changeCameraParams_ != *cameraParams_;
}

QImageControlModel::Commands QImageControlModel::load(
    const QUVCParams& read, const std::optional<QUVCParams>& stored,
    std::map<std::string, QControlValue> further) {
  Commands out;
  QUVCParams baseline = QUVCParams::defaultParams();
  baseline.further = std::move(further);
  for (const Control control : kControls) {
    setControlValue(baseline, control, controlValue(read, control));
  }
  if (stored) {
    baseline.mode = stored->mode;
    for (const Control control : kControls) {
      const std::int64_t value = controlValue(*stored, control);
      if (value != controlValue(baseline, control)) {
        out.push_back({control, value});
        setControlValue(baseline, control, value);
      }
    }
  }
  for (const Control control : kControls) {
    const std::int64_t value = controlValue(baseline, control);
    const std::int64_t corrected = value < kMinimum   ? kMinimum
                                   : value > kMaximum ? kMaximum
                                                      : value;
    if (corrected != value) {
      out.push_back({control, corrected});
      setControlValue(baseline, control, corrected);
    }
  }
  cameraParams_ = baseline;
  changeCameraParams_ = baseline;
  return out;
}

QImageControlModel::Commands QImageControlModel::resetParams(QUVCParams::ImageMode mode,
                                                             const QUVCParams& values) {
  Commands out;
  if (!changeCameraParams_) {
    return out;
  }
  changeCameraParams_->mode = mode;
  if (mode == QUVCParams::ImageMode::custom) {
    return out;
  }
  for (const Control control : kControls) {
    const std::int64_t value = controlValue(values, control);
    if (value != controlValue(*changeCameraParams_, control)) {
      out.push_back({control, value});
      setControlValue(*changeCameraParams_, control, value);
    }
  }
  return out;
}

void QImageControlModel::sliderMoving() {
  if (changeCameraParams_) {
    changeCameraParams_->mode = QUVCParams::ImageMode::custom;
  }
}

QImageControlModel::Commands QImageControlModel::sliderReleased(Control control, int position) {
  Commands out;
  if (!changeCameraParams_) {
    return out;
  }
  const std::int64_t value = cameraparams::uvcValueForPosition(position);
  if (value != controlValue(*changeCameraParams_, control)) {
    out.push_back({control, value});
    setControlValue(*changeCameraParams_, control, value);
  }
  return out;
}

QImageControlModel::Commands QImageControlModel::applyValues(const QUVCParams& values) {
  Commands out;
  if (!changeCameraParams_) {
    return out;
  }
  changeCameraParams_->mode = QUVCParams::ImageMode::custom;
  for (const Control control : kControls) {
    const std::int64_t value = std::clamp(controlValue(values, control), kMinimum, kMaximum);
    if (value != controlValue(*changeCameraParams_, control)) {
      out.push_back({control, value});
      setControlValue(*changeCameraParams_, control, value);
    }
  }
  return out;
}

QImageControlModel::FurtherCommands QImageControlModel::setFurther(const FurtherCommands& wanted) {
  FurtherCommands out;
  if (!changeCameraParams_) {
    return out;
  }
  for (const FurtherSetting& setting : wanted) {
    const auto it = changeCameraParams_->further.find(setting.key);
    if (it != changeCameraParams_->further.end() && it->second.value != setting.value) {
      it->second.value = setting.value;
      out.push_back(setting);
    }
  }
  return out;
}

QImageControlModel::FurtherCommands QImageControlModel::restoreFurther() {
  if (!cameraParams_) {
    return {};
  }
  FurtherCommands baseline;
  for (const auto& [key, value] : cameraParams_->further) {
    baseline.push_back({key, value.value});
  }
  return setFurther(baseline);
}

QImageControlModel::Commands QImageControlModel::restore() {
  Commands out;
  if (!changeCameraParams_ || !cameraParams_) {
    return out;
  }
  for (const Control control : kControls) {
    const std::int64_t value = controlValue(*cameraParams_, control);
    if (value != controlValue(*changeCameraParams_, control)) {
      out.push_back({control, value});
      setControlValue(*changeCameraParams_, control, value);
    }
  }
  return out;
}

void QImageControlModel::markSaved() {
  if (changeCameraParams_) {
    cameraParams_ = changeCameraParams_;
  }
}

}  // namespace vexhal
