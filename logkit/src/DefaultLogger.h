#pragma once

#include <ostrane/QLogger.h>

namespace ostrane::detail {

// The default logger as seen by the calling thread: a per-thread copy renewed whenever
// setDdLog has changed the value, so logging takes no lock. Valid until the thread's next call.
// While the thread's storage is being torn down, a copy is made in `fallback` instead.
const QLogger& defaultLoggerForThisThread(QLogger& fallback);

}  // namespace ostrane::detail
