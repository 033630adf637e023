#pragma once

#include <cstdint>

namespace vexhal {

// A class-specific control request on the camera's video-control interface, as it travels on
// the wire: the setup fields, the value bytes and, after sending, how many bytes moved.
struct UVCControlRequest {
  std::uint8_t bmRequestType = 0;
  std::uint8_t bRequest = 0;
  std::uint16_t wValue = 0;
  std::uint16_t wIndex = 0;
  std::uint16_t wLength = 0;
  std::uint8_t* pData = nullptr;  // at least wLength bytes, owned by the sender
  std::uint32_t wLenDone = 0;
};

}  // namespace vexhal
