#include "section/camera_control/QFunctionControlModel.h"

#include "section/camera_control/QCameraParamsMapping.h"

namespace vexhal {

using Field = QHIDSetting::Field;

std::int64_t fieldValue(const QHIDParams& params, Field field) {
  switch (field) {
    case Field::autoFraming:
      return params.autoFraming ? 1 : 0;
    case Field::autoFramingMode:
      return params.autoFramingMode;
    case Field::frameMaster:
      return params.frameMaster ? 1 : 0;
    case Field::angle:
      return params.angle;
    case Field::hMirror:
      return params.hMirror ? 1 : 0;
    case Field::pickup:
      return params.pickup;
  }
  return 0;
}

void setFieldValue(QHIDParams& params, Field field, std::int64_t value) {
  switch (field) {
    case Field::autoFraming:
      params.autoFraming = value != 0;
      break;
    case Field::autoFramingMode:
      params.autoFramingMode = value;
      break;
    case Field::frameMaster:
      params.frameMaster = value != 0;
      break;
    case Field::angle:
      params.angle = value;
      break;
    case Field::hMirror:
      params.hMirror = value != 0;
      break;
    case Field::pickup:
      params.pickup = value;
      break;
  }
}

bool QFunctionControlModel::hasChanges() const {
  return changeCameraParams_ && cameraParams_ && *changeCameraParams_ != *cameraParams_;
}

void QFunctionControlModel::beginLoad() {
  cameraParams_ = QHIDParams::defaultParams();
  changeCameraParams_.reset();
  answered_.reset();
}

bool QFunctionControlModel::storeLoaded(Field field, std::int64_t value) {
  if (!cameraParams_ || changeCameraParams_) {
    return false;
  }
  setFieldValue(*cameraParams_, field, value);
  answered_.set(static_cast<std::size_t>(field));
  if (!answered_.all()) {
    return false;
  }
  changeCameraParams_ = cameraParams_;
  lastTracking_ = cameraParams_->frameMaster ? kTrackingPeopleBox : kTrackingAutoFraming;
  return true;
}

void QFunctionControlModel::send(Commands& out, Field field, std::int64_t value) {
  out.push_back({field, value});
  setFieldValue(*changeCameraParams_, field, value);
}

void QFunctionControlModel::sendIfDifferent(Commands& out, Field field, std::int64_t value) {
  if (fieldValue(*changeCameraParams_, field) != value) {
    send(out, field, value);
  }
}

QFunctionControlModel::Commands QFunctionControlModel::setIntelligent(bool on) {
  Commands out;
  if (!changeCameraParams_) {
    return out;
  }
  QHIDParams& w = *changeCameraParams_;
  if (!on) {
    if (w.autoFraming) {
      send(out, Field::autoFraming, 0);
      lastTracking_ = kTrackingAutoFraming;
    }
    if (w.frameMaster) {
      send(out, Field::frameMaster, 0);
      lastTracking_ = kTrackingPeopleBox;
    }
    return out;
  }
  // The tracking functions only work at the widest field of view.
  sendIfDifferent(out, Field::angle, 120);
  if (lastTracking_ == kTrackingPeopleBox) {
    send(out, Field::frameMaster, 1);
  } else {
    send(out, Field::autoFraming, 1);
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::chooseAutoFraming() {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::frameMaster, 0);
    send(out, Field::autoFraming, 1);
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::choosePeopleBox() {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::autoFraming, 0);
    send(out, Field::frameMaster, 1);
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::chooseFramingMode(std::int64_t mode) {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::autoFramingMode, mode);
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::chooseAngleItem(int item) {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::angle, cameraparams::angleForItem(item));
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::choosePickupItem(int item) {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::pickup, cameraparams::pickupForItem(item));
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::setMirror(bool on) {
  Commands out;
  if (changeCameraParams_) {
    send(out, Field::hMirror, on ? 1 : 0);
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::reset() {
  Commands out;
  if (!changeCameraParams_) {
    return out;
  }
  const QHIDParams factory = QHIDParams::defaultParams();
  for (const Field field : {Field::frameMaster, Field::autoFraming, Field::autoFramingMode,
                            Field::angle, Field::hMirror, Field::pickup}) {
    sendIfDifferent(out, field, fieldValue(factory, field));
  }
  return out;
}

QFunctionControlModel::Commands QFunctionControlModel::restore() {
  if (!changeCameraParams_ || !cameraParams_) {
    return {};
  }
  return moveTo(*cameraParams_);
}

QFunctionControlModel::Commands QFunctionControlModel::applyParams(QHIDParams target) {
  if (!changeCameraParams_) {
    return {};
  }
  target.frameMaster = target.frameMaster && !target.autoFraming;
  target.angle = cameraparams::angleForItem(cameraparams::itemForAngle(target.angle));
  target.pickup = cameraparams::pickupForItem(cameraparams::itemForPickup(target.pickup));
  target.autoFramingMode = target.autoFramingMode == 1 ? 1 : 0;
  return moveTo(target);
}

QFunctionControlModel::Commands QFunctionControlModel::moveTo(const QHIDParams& b) {
  Commands out;
  QHIDParams& w = *changeCameraParams_;
  if (b.autoFraming != w.autoFraming) {
    if (b.autoFraming) {
      sendIfDifferent(out, Field::angle, b.angle);
      if (w.frameMaster) {
        send(out, Field::frameMaster, 0);
      }
    }
    send(out, Field::autoFraming, b.autoFraming ? 1 : 0);
  }
  sendIfDifferent(out, Field::autoFramingMode, b.autoFramingMode);
  if (b.frameMaster != w.frameMaster) {
    if (b.frameMaster) {
      sendIfDifferent(out, Field::angle, b.angle);
      if (w.autoFraming) {
        send(out, Field::autoFraming, 0);
      }
    }
    send(out, Field::frameMaster, b.frameMaster ? 1 : 0);
  }
  sendIfDifferent(out, Field::angle, b.angle);
  sendIfDifferent(out, Field::hMirror, b.hMirror ? 1 : 0);
  sendIfDifferent(out, Field::pickup, b.pickup);
  return out;
}

void QFunctionControlModel::markSaved() {
  if (changeCameraParams_) {
    cameraParams_ = changeCameraParams_;
  }
}

bool QFunctionControlModel::updateCaptureInfo(bool capturing4K) {
  const bool turnedOn = capturing4K && !is4KCapturing_;
  is4KCapturing_ = capturing4K;
  return turnedOn;
}

}  // namespace vexhal
