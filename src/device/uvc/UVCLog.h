#pragma once

#include <functional>
#include <string>

namespace vexhal {

// Diagnostics of the UVC controls. They go to syslog(3), which the journal collects; tests
// can divert them to see which lines were written.
class UVCLog {
 public:
  using Sink = std::function<void(const std::string& line)>;

  [[gnu::format(printf, 1, 2)]] static void error(const char* format, ...);

  // Replaces syslog with the sink; an empty sink restores syslog.
  static void setSink(Sink sink);
};

}  // namespace vexhal
