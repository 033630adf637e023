#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace vexhal::video {

// Lets one log line through per interval; the events in between are only counted, so a stream
// of bad frames leaves one line (with the count) instead of thirty a second.
class LogRateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit LogRateLimiter(Clock::duration interval) : interval_(interval) {}

  // True when this event may be logged; `suppressed` then gets how many were held back since
  // the last line.
  bool allow(Clock::time_point now, std::uint64_t& suppressed) {
    if (last_ && now - *last_ < interval_) {
      ++held_;
      return false;
    }
    last_ = now;
    suppressed = held_;
    held_ = 0;
    return true;
  }

 private:
  Clock::duration interval_;
  std::optional<Clock::time_point> last_;
  std::uint64_t held_ = 0;
};

}  // namespace vexhal::video
