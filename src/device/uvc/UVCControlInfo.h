#pragma once

#include <cstdint>

namespace vexhal {

// One UVC control of the camera: the entity that owns it, its selector and the size of its
// value in bytes.
struct UVCControlInfo {
  std::int32_t unit = 0;
  std::int32_t selector = 0;
  std::int32_t size = 0;

  friend bool operator==(const UVCControlInfo&, const UVCControlInfo&) = default;
};

// Entity ids of the supported camera.
inline constexpr std::int32_t kUvcCameraTerminal = 1;
inline constexpr std::int32_t kUvcProcessingUnit = 2;
inline constexpr std::int32_t kUvcExtensionUnit = 6;

// The controls the program uses.
inline constexpr UVCControlInfo kUvcBrightness{kUvcProcessingUnit, 2, 2};
inline constexpr UVCControlInfo kUvcContrast{kUvcProcessingUnit, 3, 2};
inline constexpr UVCControlInfo kUvcSaturation{kUvcProcessingUnit, 7, 2};
inline constexpr UVCControlInfo kUvcSharpness{kUvcProcessingUnit, 8, 2};

// Further controls of the camera.
inline constexpr UVCControlInfo kUvcAutoExposureMode{kUvcCameraTerminal, 2, 1};
inline constexpr UVCControlInfo kUvcExposureTime{kUvcCameraTerminal, 4, 4};
inline constexpr UVCControlInfo kUvcBacklightCompensation{kUvcProcessingUnit, 1, 2};
inline constexpr UVCControlInfo kUvcGain{kUvcProcessingUnit, 4, 2};
inline constexpr UVCControlInfo kUvcPowerLineFrequency{kUvcProcessingUnit, 5, 1};
inline constexpr UVCControlInfo kUvcWhiteBalanceTemperature{kUvcProcessingUnit, 10, 2};
inline constexpr UVCControlInfo kUvcAutoWhiteBalance{kUvcProcessingUnit, 11, 1};
inline constexpr UVCControlInfo kUvcPeopleCentredFraming{kUvcExtensionUnit, 1, 1};
inline constexpr UVCControlInfo kUvcFieldOfView{kUvcExtensionUnit, 2, 1};
inline constexpr UVCControlInfo kUvcHorizontalMirror{kUvcExtensionUnit, 3, 1};

// UVC request codes (class-specific requests of the video-control interface).
inline constexpr std::uint8_t kUvcSetCur = 0x01;
inline constexpr std::uint8_t kUvcGetCur = 0x81;
inline constexpr std::uint8_t kUvcGetMin = 0x82;
inline constexpr std::uint8_t kUvcGetMax = 0x83;
inline constexpr std::uint8_t kUvcGetRes = 0x84;
inline constexpr std::uint8_t kUvcGetLen = 0x85;
inline constexpr std::uint8_t kUvcGetInfo = 0x86;
inline constexpr std::uint8_t kUvcGetDef = 0x87;

// bmRequestType of class requests to an interface, host to device and device to host.
inline constexpr std::uint8_t kUvcRequestTypeSet = 0x21;
inline constexpr std::uint8_t kUvcRequestTypeGet = 0xA1;

// Automatic exposure mode values (a bitmap in UVC).
inline constexpr std::int64_t kUvcExposureManual = 1;
inline constexpr std::int64_t kUvcExposureAuto = 2;

}  // namespace vexhal
