#include <ostrane/QFileLogger.h>

#include "AppDirs.h"
#include "AppendFile.h"
#include "Clock.h"
#include "DirScan.h"
#include "LibraryNotice.h"
#include "ListingWorker.h"
#include "LogFileName.h"
#include "ZipExport.h"

#include <ostrane/Logging.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ostrane {

// All state below is guarded by `mutex`: the log queue is the usual caller, but write() and
// setLogConfig() may come from any thread.
struct [[gnu::visibility("hidden")]] QFileLogger::Impl {
  Impl(const QFileLogger& self, std::shared_ptr<QFileLogConfig> cfg)
      : config(std::move(cfg)), file([&self](std::string text) {
          return self.formatLog(detail::libraryNotice(std::move(text), "QFileLogger", "write"));
        }) {}

  std::shared_ptr<QFileLogConfig> config;
  std::mutex mutex;
  detail::AppendFile file;
  std::optional<std::string> curfilePath;
  std::string fileDay;  // the day the current file was last seen to belong to
  bool dirChecked = false;
  std::atomic<bool> consoleListingLine{true};
  detail::LocalDay today;
  // After a failed attempt to open a file, the next attempt waits for the next second, so an
  // unwritable directory costs one try per second instead of one per line.
  std::int64_t retryAt = std::numeric_limits<std::int64_t>::min();

  void writeLine(std::string_view text, bool flushNow) noexcept;
  void flushFile();
  void checkLogDir();
  void checkLogFile(std::int64_t nowSeconds);
  bool getCurDayLogs(const std::string& dir, const std::string& day);
  void createLogFile(const std::string& path, const std::string& day);
  void startNewFile(std::int64_t slice, std::int64_t nowSeconds);
  void compactLogFiles(const std::string& dir);
  bool belongsToDay(const std::string& path, const std::string& dir, const std::string& day) const;
};

namespace {

// Files this process has created: compaction leaves them alone whatever their dates say (the
// clock may have jumped since).
struct CreatedFiles {
  std::mutex mutex;
  std::set<std::string> paths;

  static CreatedFiles& instance() {
    static auto* created = new CreatedFiles;  // never destroyed: loggers may outlive statics
    return *created;
  }
  void add(const std::string& path) {
    std::lock_guard lock(mutex);
    paths.insert(path);
  }
  bool contains(const std::string& path) {
    std::lock_guard lock(mutex);
    return paths.count(path) != 0;
  }
};

bool isAncestorOf(const std::string& dir, const std::string& path) {
  return path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
         path[dir.size()] == '/';
}

// Whole seconds between two moments, truncated toward zero, as a magnitude.
std::int64_t ageSeconds(std::int64_t nowNs, std::int64_t thenNs) {
  std::int64_t seconds = nowNs / 1000000000 - thenNs / 1000000000;
  std::int64_t nanos = nowNs % 1000000000 - thenNs % 1000000000;
  if (nanos >= 1000000000) {
    ++seconds;
    nanos -= 1000000000;
  } else if (nanos <= -1000000000) {
    --seconds;
    nanos += 1000000000;
  }
  // seconds + nanos/1e9, truncated toward zero, without overflowing.
  std::int64_t whole = seconds;
  if (seconds > 0 && nanos < 0)
    whole -= 1;
  else if (seconds < 0 && nanos > 0)
    whole += 1;
  return whole < 0 ? -whole : whole;
}

}  // namespace

QFileLogger::QFileLogger() : QFileLogger(std::make_shared<QFileLogConfig>()) {}

QFileLogger::QFileLogger(std::shared_ptr<QFileLogConfig> config)
    : impl_(std::make_unique<Impl>(
          *this, config ? std::move(config) : std::make_shared<QFileLogConfig>())) {}

// The last flush may write a loss notice through formatLog: close while this object is whole.
QFileLogger::~QFileLogger() { impl_->file.close(); }

void QFileLogger::log(const std::string& line) {
  std::lock_guard lock(impl_->mutex);
  impl_->writeLine(line, false);
}

void QFileLogger::flush() {
  std::lock_guard lock(impl_->mutex);
  try {
    impl_->flushFile();
  } catch (...) {
  }
}

void QFileLogger::write(std::optional<std::string_view> value) {
  std::lock_guard lock(impl_->mutex);
  impl_->writeLine(value.value_or(std::string_view()), true);
}

void QFileLogger::setConsoleListingLine(bool on) noexcept {
  impl_->consoleListingLine.store(on, std::memory_order_relaxed);
}

void QFileLogger::setLogConfig(std::shared_ptr<QFileLogConfig> config) {
  if (!config) return;
  std::lock_guard lock(impl_->mutex);
  impl_->config = std::move(config);
}

std::shared_ptr<QFileLogConfig> QFileLogger::getLogConfig() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->config;
}

void QFileLogger::getLogList(std::function<void(std::vector<QlogFileModel>)> completion) const {
  detail::ListingWorker::listNewestFirst([config = getLogConfig()] { return config->cacheDir(); },
                                         std::move(completion));
}

std::string QFileLogger::zipLogDir(std::optional<std::string> target) const {
  try {
    const std::string archive = target ? *target : detail::cachesDirectory() + "/QLogs.zip";
    struct stat st {};
    if (lstat(archive.c_str(), &st) == 0) {
      // Only a previous archive, a plain file, is replaced; a directory (or anything else)
      // at the target is someone's data.
      if (!S_ISREG(st.st_mode)) {
        ddLog().log(detail::libraryNotice("Log export refused, not a regular file: " + archive,
                                          "QFileLogger", "zipLogDir"));
        return {};
      }
      ::unlink(archive.c_str());
    }
    {
      // The lines written so far reach the file first; the log queue itself keeps running.
      std::lock_guard lock(impl_->mutex);
      impl_->flushFile();
    }
    return detail::zipDirectory(getLogConfig()->cacheDir(), archive) ? archive : std::string();
  } catch (...) {
    return {};
  }
}

void QFileLogger::Impl::writeLine(std::string_view text, bool flushNow) noexcept {
  try {
    checkLogDir();
    checkLogFile(detail::floorSeconds(detail::nowNs()));
    file.appendLine(text);  // counted as lost when no file could be opened
    if (flushNow || file.bufferFull()) flushFile();
  } catch (...) {
    // Out of memory while listing or buffering: this line is lost, logging goes on.
  }
}

// Every write-out first checks that the file is still there, so a file or directory deleted in
// the middle of a burst costs no lines.
void QFileLogger::Impl::flushFile() {
  if (file.unlinked()) {
    // The file, or its whole directory, was deleted under us: go on in a fresh file, which
    // takes the buffered lines along (createLogFile).
    dirChecked = false;
    checkLogDir();
    startNewFile(0, detail::floorSeconds(detail::nowNs()));
  }
  file.flush();
}

void QFileLogger::Impl::checkLogDir() {
  if (dirChecked) return;
  dirChecked = true;
  std::error_code ec;
  fs::create_directories(config->cacheDir(), ec);
}

bool QFileLogger::Impl::belongsToDay(const std::string& path, const std::string& dir,
                                     const std::string& day) const {
  // Only the part below the log directory counts, so a date in the directory's own path
  // cannot make every file look current.
  const std::string_view below = isAncestorOf(dir, path)
                                     ? std::string_view(path).substr(dir.size() + 1)
                                     : std::string_view(path);
  return below.find(day) != std::string_view::npos;
}

void QFileLogger::Impl::checkLogFile(std::int64_t nowSeconds) {
  const std::string& day = today.textFor(nowSeconds);
  if (!file.isOpen()) {
    if (nowSeconds < retryAt) return;
    if (!getCurDayLogs(config->cacheDir(), day)) startNewFile(0, nowSeconds);
    if (!file.isOpen()) retryAt = nowSeconds + 1;
    return;
  }
  const std::string dir = day != fileDay ? config->cacheDir() : std::string();
  if (day != fileDay) {
    if (curfilePath && belongsToDay(*curfilePath, dir, day)) {
      fileDay = day;
    } else {
      if (!getCurDayLogs(dir, day)) startNewFile(0, nowSeconds);
      if (!file.isOpen()) return;
    }
  }
  if (file.size() < config->limitFileSize()) return;
  std::int64_t slice = detail::sliceOfLogFileName(curfilePath.value_or(std::string()));
  if (slice < std::numeric_limits<std::int64_t>::max()) ++slice;
  startNewFile(slice, nowSeconds);
}

// Adopts the last of today's files in listing order (the newest name); false when none.
bool QFileLogger::Impl::getCurDayLogs(const std::string& dir, const std::string& day) {
  if (consoleListingLine.load(std::memory_order_relaxed))
    std::fputs("log> getCurDayLogs()\n", stdout);
  std::optional<std::string> candidate;
  std::error_code ec;
  for (const auto& sub : detail::listSubpaths(dir)) {
    const std::string path = dir + "/" + sub;
    if (belongsToDay(path, dir, day) && detail::sliceOfLogFileName(path) >= 0 &&
        fs::is_regular_file(path, ec))
      candidate = path;
  }
  if (!candidate) return false;
  createLogFile(*candidate, day);
  return file.isOpen();
}

// Makes `path`, a file of `day`, the current file (creating it when missing).
// Lines still buffered for a file that has been deleted move to the new one.
void QFileLogger::Impl::createLogFile(const std::string& path, const std::string& day) {
  detail::AppendFile::Pending carried;
  if (file.unlinked()) carried = file.takePending();
  file.close();
  curfilePath.reset();
  fileDay.clear();
  if (file.open(path, detail::AppendFile::Mode::openOrCreate) == 0) {
    curfilePath = path;
    fileDay = day;
    if (file.created()) CreatedFiles::instance().add(path);
  }
  file.restorePending(std::move(carried));
}

void QFileLogger::Impl::startNewFile(std::int64_t slice, std::int64_t nowSeconds) {
  const std::string dir = config->cacheDir();
  const std::string path =
      dir + "/" + detail::logFileName(detail::displayName(), detail::stampText(nowSeconds), slice);
  // The directory may be missing (removed, or a new cacheDir): make it rather than lose lines.
  std::error_code ec;
  fs::create_directories(dir, ec);
  createLogFile(path, today.textFor(nowSeconds));
  compactLogFiles(dir);
}

// Removes old log files of this program from the directory itself: files of any other name,
// sub-directories, and files this process created are never touched.
void QFileLogger::Impl::compactLogFiles(const std::string& dir) {
  const std::int64_t now = detail::nowNs();
  const std::int64_t limit = config->limitFileInterval();
  const std::string name = detail::displayName();
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    if (!detail::isLogFileName(it->path().filename().string(), name)) continue;
    if (curfilePath == path || CreatedFiles::instance().contains(path)) continue;
    std::error_code typeError;
    if (it->symlink_status(typeError).type() != fs::file_type::regular) continue;
    const auto created = detail::creationTimeNs(path);
    if (created && ageSeconds(now, *created) > limit) {
      std::error_code removeError;
      fs::remove(path, removeError);
    }
  }
}

}  // namespace ostrane
