#pragma once

#include <ostrane/QLogHandler.h>
#include <ostrane/QlogFileModel.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane {

// Writes every line of its life into one fresh file "<yyyy-MM-dd HH:mm:ss>.log" of
// debugDirPath, named by the moment of its first line ("<...>_1.log" and so on when another
// handler took that name in the same second). No rotation, no clean-up.
class OSTRANE_EXPORT QDebugFileLogger : public QLogHandler {
 public:
  // debugDirPath is the application's cache directory + "/QDebugLogs".
  QDebugFileLogger();
  explicit QDebugFileLogger(std::string debugDirPath);
  ~QDebugFileLogger() override;
  QDebugFileLogger(const QDebugFileLogger&) = delete;
  QDebugFileLogger& operator=(const QDebugFileLogger&) = delete;

  void log(const std::string& line) override;
  void flush() override;

  // Writes one line (an absent value writes an empty line) and puts it on disk at once.
  void writeDebug(std::optional<std::string_view> value);

  const std::string& debugDirPath() const noexcept;

  // Lists debugDirPath like QFileLogger::getLogList, newest first.
  void getDebugLogList(std::function<void(std::vector<QlogFileModel>)> completion) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ostrane
