#pragma once

#include <cstdint>

namespace vexhal {

inline constexpr std::uint16_t kCameraVendorId = 0xB206;
inline constexpr std::uint16_t kCameraProductId = 0xB215;

// Starts watching for the cameras (vendor 0xB206, product 0xB215) for the rest of the run.
void startCameraMonitoring();

}  // namespace vexhal
