#pragma once

#include <ostrane/Export.h>
#include <ostrane/QLogMsg.h>

#include <string>

namespace ostrane {

// An output of a logger. Handlers are shared (std::shared_ptr): one handler may sit in several
// loggers. Through a logger, every call below runs on the log queue thread, one at a time.
// Nothing a handler throws escapes the log queue.
class OSTRANE_EXPORT QLogHandler {
 public:
  virtual ~QLogHandler();

  // Writes one finished line (no trailing newline).
  virtual void log(const std::string& line) = 0;
  // Turns a message into its line; the default is the message's own formatLog().
  virtual std::string formatLog(const QLogMsg& msg) const;
  // Called when the log queue falls idle or a flush is requested: a handler that buffers
  // writes its pending bytes out here. The default does nothing.
  virtual void flush();
};

}  // namespace ostrane
