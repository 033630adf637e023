#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "video/CaptureDevice.h"
#include "video/CaptureFormat.h"
#include "video/VideoSample.h"

namespace vexhal::video {

struct CaptureError {
  std::string message;
  // errno of the failing call, 0 when the failure is not a system error.
  int code = 0;
};

using CaptureCompletion = std::function<void(const std::optional<CaptureError>&)>;

// What a running capture reports. Both run on the backend's own capture thread.
struct CaptureSink {
  std::function<void(VideoSample)> sample;
  // Capture ended on its own (device gone, read failure); no sample follows.
  std::function<void(const CaptureError&)> failed;
};

// The capture seam: the V4L2 backend and the virtual camera implement it.
// devices() and formats() may be called from any thread. start() and stop() are called from one
// controlling thread (the GUI thread in the program), never from inside a sink or completion,
// since stopping waits for the capture thread.
class CaptureBackend {
 public:
  virtual ~CaptureBackend() = default;

  virtual std::vector<CaptureDevice> devices() = 0;
  // The device's formats in the order the device reports them; empty when it cannot be read.
  virtual std::vector<CaptureFormat> formats(const CaptureDevice& device) = 0;
  virtual std::uint32_t preferredOutputPixelFormat() const = 0;

  // Starts capturing (stopping a capture that runs). `completion` runs once, on the capture
  // thread once the device streams or failed to, or before start() returns.
  virtual void start(const CaptureDevice& device, const CaptureFormat& format, double fps,
                     CaptureSink sink, CaptureCompletion completion) = 0;
  // Stops capturing; after it returns, no sample is delivered. `completion` runs before it returns.
  virtual void stop(CaptureCompletion completion) = 0;
};

}  // namespace vexhal::video
