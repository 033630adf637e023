#include "section/camera_control/QHIDFieldCommands.h"

namespace vexhal::hidfields {

namespace {

USBDevice::FlagCallback asValue(USBDevice::ValueCallback done) {
  return [done = std::move(done)](std::int64_t code, bool on) { done(code, on ? 1 : 0); };
}

}  // namespace

void read(USBDevice& device, QHIDSetting::Field field, USBDevice::ValueCallback done) {
  using Field = QHIDSetting::Field;
  switch (field) {
    case Field::autoFraming:
      device.getAutoFraming(asValue(std::move(done)));
      break;
    case Field::autoFramingMode:
      device.getAutoFramingMode(std::move(done));
      break;
    case Field::frameMaster:
      device.getFrameMaster(asValue(std::move(done)));
      break;
    case Field::angle:
      device.getAngle(std::move(done));
      break;
    case Field::hMirror:
      device.getHMirror(asValue(std::move(done)));
      break;
    case Field::pickup:
      device.getPickup(std::move(done));
      break;
  }
}

void write(USBDevice& device, const QHIDSetting& setting, USBDevice::CodeCallback done) {
  using Field = QHIDSetting::Field;
  switch (setting.field) {
    case Field::autoFraming:
      device.setAutoFraming(setting.value != 0, std::move(done));
      break;
    case Field::autoFramingMode:
      device.setAutoFramingMode(setting.value, std::move(done));
      break;
    case Field::frameMaster:
      device.setFrameMaster(setting.value != 0, std::move(done));
      break;
    case Field::angle:
      device.setAngle(setting.value, std::move(done));
      break;
    case Field::hMirror:
      device.setHMirror(setting.value != 0, std::move(done));
      break;
    case Field::pickup:
      device.setPickup(setting.value, std::move(done));
      break;
  }
}

}  // namespace vexhal::hidfields
