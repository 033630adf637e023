#pragma once

#include <ostrane/QFileLogConfig.h>
#include <ostrane/QLogHandler.h>
#include <ostrane/QlogFileModel.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrane {

// Appends lines to rotating files in the configuration's cacheDir, named
// "<display name>_<yyyy-MM-dd HH:mm:ss>_<slice>.log". A new file starts at a change of day and
// when the current one has reached limitFileSize; each new file is followed by removing this
// program's log files in cacheDir older than limitFileInterval (other entries, and files made
// by the running process, stay). Lines that cannot be written are counted, and the file says
// "N lines lost: <reason>" once writing works again. Through a logger it runs on the log
// queue; direct calls from other threads are serialized with it.
class OSTRANE_EXPORT QFileLogger : public QLogHandler {
 public:
  QFileLogger();
  explicit QFileLogger(std::shared_ptr<QFileLogConfig> config);
  ~QFileLogger() override;
  QFileLogger(const QFileLogger&) = delete;
  QFileLogger& operator=(const QFileLogger&) = delete;

  void log(const std::string& line) override;
  void flush() override;

  // Writes one line (an absent value writes an empty line) and puts it on disk at once.
  void write(std::optional<std::string_view> value);

  // Each search for today's file prints "log> getCurDayLogs()" on standard output. A host whose
  // standard output carries data turns that off for this logger before its first line.
  void setConsoleListingLine(bool on) noexcept;

  void setLogConfig(std::shared_ptr<QFileLogConfig> config);
  std::shared_ptr<QFileLogConfig> getLogConfig() const;

  // Lists cacheDir recursively, newest first by creation date, on a background thread. The
  // completion runs through the poster given to ostrane::setMainThreadPoster, or on that
  // background thread when none was given.
  void getLogList(std::function<void(std::vector<QlogFileModel>)> completion) const;

  // Packs cacheDir into a zip archive whose entries start with the directory's own name
  // (QLogs/...). The target defaults to the application's cache directory + "/QLogs.zip";
  // a file at the target is replaced, while a directory or other non-file there is left alone,
  // the export refused and a warning logged. The lines this logger holds are written out first,
  // and each log file is packed up to its last complete line: a line being written meanwhile
  // is in this archive whole, or left for the next one. Returns the archive's path, or "" on
  // failure. Runs on the caller's thread.
  std::string zipLogDir(std::optional<std::string> target = std::nullopt) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ostrane
