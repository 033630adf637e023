#include "device/uvc/UVCLog.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>

namespace vexhal {

void UVCLog::error(const char* format, ...) const {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);

  if (sink_) {
    sink_(line);
  } else {
    syslog(LOG_ERR, "%s", line);
  }
}

}  // namespace vexhal
