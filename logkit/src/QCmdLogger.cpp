#include <ostrane/QCmdLogger.h>

#include <cstdio>

namespace ostrane {

void QCmdLogger::log(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void QCmdLogger::flush() { std::fflush(stdout); }

}  // namespace ostrane
