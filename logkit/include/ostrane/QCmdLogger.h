#pragma once

#include <ostrane/QLogHandler.h>

namespace ostrane {

// Writes each line, followed by "\n", to standard output.
class OSTRANE_EXPORT QCmdLogger : public QLogHandler {
 public:
  void log(const std::string& line) override;
  void flush() override;
};

}  // namespace ostrane
