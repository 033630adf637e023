#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexhal::video {

// Frame rates a format supports: minimum == maximum is one fixed rate, otherwise any rate between.
struct FrameRateRange {
  double minFrameRate = 0;
  double maxFrameRate = 0;

  bool operator==(const FrameRateRange&) const = default;
};

struct CaptureFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t pixelFormat = 0;
  std::vector<FrameRateRange> frameRateRanges;

  bool operator==(const CaptureFormat&) const = default;
};

// "1920x1080 MJPG", for log lines.
std::string describe(const CaptureFormat& format);

}  // namespace vexhal::video
