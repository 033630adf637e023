#pragma once

#include <cstdint>

namespace vexhal {

// The command codes of the camera's HID protocol, shared by the device layer and the virtual
// camera so the two cannot drift apart.
enum CameraCommand : std::uint16_t {
  kCmdGetState = 0x5000,
  kCmdGetVersion = 0x5001,
  kCmdGetSerialNumber = 0x5010,
  kCmdGetCaptureInfo = 0x5020,
  kCmdGetAutoFramingMode = 0x5030,
  kCmdSetAutoFramingMode = 0x5031,
  kCmdGetFrameMaster = 0x5040,
  kCmdSetFrameMaster = 0x5041,
  kCmdGetPickup = 0x5070,
  kCmdSetPickup = 0x5071,
  kCmdGetAutoFraming = 0x5080,
  kCmdSetAutoFraming = 0x5081,
  kCmdGetHMirror = 0x5090,
  kCmdSetHMirror = 0x5091,
  kCmdGetAngle = 0x50A0,
  kCmdSetAngle = 0x50A1,
  kCmdSave = 0x5100,
  kCmdUpgradeStart = 0x4000,
  kCmdUpgradeData = 0x4200,
  kCmdUpgradeFinish = 0x4300,
};

}  // namespace vexhal
