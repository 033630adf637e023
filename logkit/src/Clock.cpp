#include "Clock.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace ostrane::detail {
namespace {

std::atomic<ClockFn> testClock{nullptr};

std::tm localTm(std::int64_t seconds) {
  std::tm tm{};
  const std::time_t t = static_cast<std::time_t>(seconds);
  if (!localtime_r(&t, &tm)) std::memset(&tm, 0, sizeof(tm));
  return tm;
}

// Writes "yyyy-MM-dd HH:mm:ss" (19 characters) to out.
void writeStamp(std::int64_t seconds, char* out) {
  const std::tm tm = localTm(seconds);
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%04d-%02d-%02d %02d:%02d:%02d", (tm.tm_year + 1900) % 10000,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::memcpy(out, buf, 19);
}

struct SecondCache {
  std::int64_t second = INT64_MIN;
  char text[19];
};

}  // namespace

void setClockForTesting(ClockFn clock) noexcept {
  testClock.store(clock, std::memory_order_release);
}

std::int64_t nowNs() noexcept {
  if (ClockFn fn = testClock.load(std::memory_order_acquire)) return fn();
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::int64_t floorSeconds(std::int64_t ns) noexcept {
  std::int64_t s = ns / 1000000000;
  if (ns % 1000000000 < 0) --s;
  return s;
}

void formatLineDate(std::int64_t ns, char out[23]) noexcept {
  thread_local SecondCache cache;
  const std::int64_t s = floorSeconds(ns);
  if (s != cache.second) {
    writeStamp(s, cache.text);
    cache.second = s;
  }
  std::memcpy(out, cache.text, 19);
  const auto ms = static_cast<int>((ns - s * 1000000000) / 1000000);
  out[19] = '.';
  out[20] = static_cast<char>('0' + ms / 100);
  out[21] = static_cast<char>('0' + ms / 10 % 10);
  out[22] = static_cast<char>('0' + ms % 10);
}

std::string stampText(std::int64_t seconds) {
  char buf[19];
  writeStamp(seconds, buf);
  return std::string(buf, sizeof(buf));
}

std::string dayText(std::int64_t seconds) { return stampText(seconds).substr(0, 10); }

const std::string& LocalDay::textFor(std::int64_t seconds) {
  if (seconds >= start_ && seconds < end_) return text_;
  std::tm tm = localTm(seconds);
  text_ = dayText(seconds);
  tm.tm_hour = 0;
  tm.tm_min = 0;
  tm.tm_sec = 0;
  tm.tm_isdst = -1;
  std::tm next = tm;
  next.tm_mday += 1;
  const std::time_t start = mktime(&tm);
  const std::time_t end = mktime(&next);
  if (start == static_cast<std::time_t>(-1) || end == static_cast<std::time_t>(-1) ||
      start > seconds || end <= seconds) {
    // Odd zone data: fall back to a one-second window so the text is recomputed next time.
    start_ = seconds;
    end_ = seconds + 1;
  } else {
    start_ = start;
    end_ = end;
  }
  return text_;
}

}  // namespace ostrane::detail
