#pragma once

#include <functional>
#include <string>

namespace vexhal {

// Where the diagnostics of the UVC controls go: syslog(3), which the journal collects, or the
// sink it was made with (tests see which lines were written). Handed down with the transport
// factory; copies share the sink.
class UVCLog {
 public:
  using Sink = std::function<void(const std::string& line)>;

  UVCLog() = default;
  explicit UVCLog(Sink sink) : sink_(std::move(sink)) {}

  [[gnu::format(printf, 2, 3)]] void error(const char* format, ...) const;

 private:
  Sink sink_;
};

}  // namespace vexhal
