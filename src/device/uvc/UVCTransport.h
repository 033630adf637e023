#pragma once

#include "device/uvc/UVCControlRequest.h"

namespace vexhal {

// One camera's video-control channel. It carries a request record to the camera and, for a
// request from the device, fills the record's value bytes.
class UVCTransport {
 public:
  virtual ~UVCTransport() = default;

  // Sends the request and waits for the camera. Returns 0 on success, otherwise a non-zero
  // status (an errno value) that the caller logs. On success wLenDone holds the bytes moved.
  virtual int controlRequest(UVCControlRequest& request) = 0;
};

}  // namespace vexhal
