#pragma once

#include <ostrane/Export.h>
#include <ostrane/LogLevel.h>

#include <string>

namespace ostrane {

// Receives a logger's messages instead of its handlers while it is alive. Loggers hold it by
// std::weak_ptr and never keep it alive. onLog runs on the log queue thread.
class OSTRANE_EXPORT QLoggerObserver {
 public:
  virtual ~QLoggerObserver();
  virtual void onLog(LogLevel level, const std::string& line) = 0;
};

}  // namespace ostrane
