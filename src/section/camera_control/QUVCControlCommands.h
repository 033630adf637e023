#pragma once

#include "device/uvc/UVCCameraControl.h"
#include "section/camera_control/QUVCParams.h"
#include "section/camera_control/QUVCSetting.h"

// The UVC control of each image value, for the image page and the control requests.
namespace vexhal::uvccontrols {

// The four values as the camera's controls report them now (the mode is left standard).
QUVCParams read(UVCCameraControl& control);
// Sends `setting`; false when the control layer could not.
bool write(UVCCameraControl& control, const QUVCSetting& setting);

}  // namespace vexhal::uvccontrols
