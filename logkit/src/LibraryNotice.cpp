#include "LibraryNotice.h"

#include "Clock.h"

#include <ostrane/LogFuncOC.h>

namespace ostrane::detail {

QLogMsg libraryNotice(std::string content, const char* file, const char* method) {
  QLogMsg notice;
  notice.content = std::move(content);
  char date[23];
  formatLineDate(nowNs(), date);
  notice.date.assign(date, sizeof(date));
  notice.file = file;
  notice.method = method;
  notice.line = "0";
  notice.level = LogLevel::warn;
  notice.threadId = LogFuncOC::getThreadId();
  notice.pId = LogFuncOC::getProgressId();
  return notice;
}

}  // namespace ostrane::detail
