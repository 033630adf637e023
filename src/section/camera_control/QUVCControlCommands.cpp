#include "section/camera_control/QUVCControlCommands.h"

namespace vexhal::uvccontrols {

QUVCParams read(UVCCameraControl& control) {
  QUVCParams params;
  params.brightness = control.getBrightness();
  params.contrast = control.getContrast();
  params.saturation = control.getSaturation();
  params.sharpness = control.getSharpness();
  return params;
}

bool write(UVCCameraControl& control, const QUVCSetting& setting) {
  switch (setting.control) {
    case QUVCSetting::Control::brightness:
      return control.setBrightness(setting.value);
    case QUVCSetting::Control::contrast:
      return control.setContrast(setting.value);
    case QUVCSetting::Control::saturation:
      return control.setSaturation(setting.value);
    case QUVCSetting::Control::sharpness:
      return control.setSharpness(setting.value);
  }
  return false;
}

}  // namespace vexhal::uvccontrols
