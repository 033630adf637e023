#include "device/hid/HidLog.h"

#include <cstdarg>
#include <cstdlib>

namespace vexhal {

namespace {

bool debugLinesWanted() {
  static const bool wanted = [] {
    const char* value = std::getenv("VEXHAL_HID_DEBUG");
    return value != nullptr && *value != '\0' && *value != '0';
  }();
  return wanted;
}

}  // namespace

void hidLog(int priority, const char* format, ...) {
  if (priority >= LOG_DEBUG && !debugLinesWanted()) {
    return;
  }
  va_list args;
  va_start(args, format);
  vsyslog(priority, format, args);
  va_end(args);
}

}  // namespace vexhal
