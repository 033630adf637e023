#pragma once

#include <cstdint>

namespace ostrane {

// Severity of a message, also used as a logger's threshold. Ordered by raw value; `close` sits
// far above the others so that, as a threshold, it silences every message the library emits.
enum class LogLevel : std::int64_t {
  verbose = 0,
  debug = 1,
  info = 2,
  warn = 3,
  error = 4,
  fatal = 5,
  close = 255,
};

constexpr std::int64_t rawValue(LogLevel level) noexcept {
  return static_cast<std::int64_t>(level);
}

}  // namespace ostrane
