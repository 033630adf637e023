#include "device/uvc/UVCLog.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace vexhal {
namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

UVCLog::Sink& installedSink() {
  static UVCLog::Sink sink;
  return sink;
}

}  // namespace

void UVCLog::error(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);

  std::lock_guard lock(sinkMutex());
  if (installedSink()) {
    installedSink()(line);
  } else {
    syslog(LOG_ERR, "%s", line);
  }
}

void UVCLog::setSink(Sink sink) {
  std::lock_guard lock(sinkMutex());
  installedSink() = std::move(sink);
}

}  // namespace vexhal
