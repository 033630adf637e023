#pragma once

#include <string>
#include <vector>

#include "device/uvc/UVCLog.h"

namespace vexhal::testing {

// Collects the UVC diagnostics for as long as it lives, instead of sending them to syslog.
class UvcLogCapture {
 public:
  UvcLogCapture() {
    UVCLog::setSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~UvcLogCapture() { UVCLog::setSink({}); }
  UvcLogCapture(const UvcLogCapture&) = delete;
  UvcLogCapture& operator=(const UvcLogCapture&) = delete;

  std::vector<std::string> lines;
};

}  // namespace vexhal::testing
