#pragma once

#include <syslog.h>

namespace vexhal {

// Writes one diagnostic line of the HID layer to the system log. Lines at LOG_DEBUG (one or more
// per report) are dropped before any system call unless VEXHAL_HID_DEBUG is set in the
// environment, so a firmware transfer does not flood the journal.
void hidLog(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace vexhal
