#pragma once

// Wall-clock time for the library, replaceable by tests, and its local-time texts.

#include <cstdint>
#include <string>

namespace ostrane::detail {

using ClockFn = std::int64_t (*)();  // nanoseconds since the Unix epoch

// Replaces the clock (null restores the system clock). For tests; set before logging starts.
void setClockForTesting(ClockFn clock) noexcept;

std::int64_t nowNs() noexcept;
std::int64_t floorSeconds(std::int64_t ns) noexcept;

// "yyyy-MM-dd HH:mm:ss.SSS" in local time, written to out[0..23). The seconds part is cached
// per thread, so most calls only add the milliseconds.
void formatLineDate(std::int64_t ns, char out[23]) noexcept;

// "yyyy-MM-dd HH:mm:ss" and "yyyy-MM-dd" in local time.
std::string stampText(std::int64_t seconds);
std::string dayText(std::int64_t seconds);

// The local day that holds a moment: its text and its bounds [start, end) in seconds.
class LocalDay {
 public:
  // Recomputes only when `seconds` falls outside the day held.
  const std::string& textFor(std::int64_t seconds);

 private:
  std::int64_t start_ = 1;
  std::int64_t end_ = 0;
  std::string text_;
};

}  // namespace ostrane::detail
