#pragma once

#include <string>
#include <vector>

#include "device/uvc/UVCLog.h"

namespace vexhal::testing {

// Collects the UVC diagnostics written through its log(), instead of sending them to syslog.
class UvcLogCapture {
 public:
  UvcLogCapture() = default;
  UvcLogCapture(const UvcLogCapture&) = delete;
  UvcLogCapture& operator=(const UvcLogCapture&) = delete;

  UVCLog log() {
    return UVCLog([this](const std::string& line) { lines.push_back(line); });
  }

  std::vector<std::string> lines;
};

}  // namespace vexhal::testing
