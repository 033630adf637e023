#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/uvc/UVCControlWatch.h"
#include "device/uvc/UVCLog.h"
#include "device/uvc/UVCTransport.h"
#include "device/uvc/VideoControlSet.h"
#include "device/uvc/VideoControlWatch.h"

namespace vexhal {

// Finds a camera's video-control channel, and a watch on its controls: the V4L2 one on real
// devices, the virtual camera's in the demo, a fake in tests.
class UVCTransportFactory {
 public:
  virtual ~UVCTransportFactory() = default;

  // The channel of the camera at this USB location id, or null when there is none.
  virtual std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) = 0;
  // The channel of the first camera with these USB ids, or null when there is none.
  virtual std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t vendorId,
                                                            std::uint16_t productId) = 0;
  // A watch on the image controls of the camera at this USB location id, reporting to
  // `listener`; null when there is no camera or it cannot be watched.
  virtual std::unique_ptr<UVCControlWatch> watchByLocation(std::uint32_t locationId,
                                                           UVCControlWatch::Listener listener) = 0;
  // Every control of the camera at this USB location id, or null when there is none.
  virtual std::unique_ptr<VideoControlSet> openControlsByLocation(std::uint32_t locationId) = 0;
  // A watch on these controls of the camera at this USB location id; null when there is no
  // camera or it cannot be watched.
  virtual std::unique_ptr<VideoControlWatch> watchControlsByLocation(
      std::uint32_t locationId, const std::vector<std::uint32_t>& ids,
      VideoControlWatch::Listener listener) = 0;

  // Where this factory and the controls opened through it report failures; syslog unless set.
  const UVCLog& log() const { return log_; }
  void setLog(UVCLog log) { log_ = std::move(log); }

 private:
  UVCLog log_;
};

// The platform's factory (V4L2 through the uvcvideo driver on Linux).
std::shared_ptr<UVCTransportFactory> makePlatformUvcTransportFactory();

}  // namespace vexhal
