#include "video/CaptureFormat.h"

#include "video/PixelFormat.h"

namespace vexhal::video {

std::string describe(const CaptureFormat& format) {
  return std::to_string(format.width) + "x" + std::to_string(format.height) + " " +
         fourccText(format.pixelFormat);
}

}  // namespace vexhal::video
