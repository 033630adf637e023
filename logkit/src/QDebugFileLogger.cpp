#include <ostrane/QDebugFileLogger.h>

#include "AppDirs.h"
#include "AppendFile.h"
#include "Clock.h"
#include "LibraryNotice.h"
#include "ListingWorker.h"

#include <cerrno>
#include <filesystem>
#include <limits>
#include <mutex>

namespace fs = std::filesystem;

namespace ostrane {

struct [[gnu::visibility("hidden")]] QDebugFileLogger::Impl {
  Impl(const QDebugFileLogger& self, std::string dir)
      : dirPath(std::move(dir)), file([&self](std::string text) {
          return self.formatLog(
              detail::libraryNotice(std::move(text), "QDebugFileLogger", "writeDebug"));
        }) {}

  // Handlers started in the same second share a stamp; later ones take "_1", "_2", ...
  static constexpr int kMaxSuffix = 1000;

  const std::string dirPath;
  std::mutex mutex;  // write() may come from any thread besides the log queue
  detail::AppendFile file;
  std::int64_t retryAt = std::numeric_limits<std::int64_t>::min();

  void checkFileHandle();
  void writeLine(std::string_view text, bool flushNow) noexcept;
};

QDebugFileLogger::QDebugFileLogger()
    : QDebugFileLogger(detail::cachesDirectory() + "/QDebugLogs") {}

QDebugFileLogger::QDebugFileLogger(std::string debugDirPath)
    : impl_(std::make_unique<Impl>(*this, std::move(debugDirPath))) {}

// The last flush may write a loss notice through formatLog: close while this object is whole.
QDebugFileLogger::~QDebugFileLogger() { impl_->file.close(); }

void QDebugFileLogger::log(const std::string& line) {
  std::lock_guard lock(impl_->mutex);
  impl_->writeLine(line, false);
}

void QDebugFileLogger::flush() {
  std::lock_guard lock(impl_->mutex);
  impl_->file.flush();
}

void QDebugFileLogger::writeDebug(std::optional<std::string_view> value) {
  std::lock_guard lock(impl_->mutex);
  impl_->writeLine(value.value_or(std::string_view()), true);
}

const std::string& QDebugFileLogger::debugDirPath() const noexcept { return impl_->dirPath; }

void QDebugFileLogger::getDebugLogList(
    std::function<void(std::vector<QlogFileModel>)> completion) const {
  detail::ListingWorker::listNewestFirst([dir = impl_->dirPath] { return dir; },
                                         std::move(completion));
}

// Opens this handler's one file, named by the moment of its first line. The file is always a
// new one: a name another handler already took gets a suffix. When no file can be made the line
// is dropped, and the next attempt waits for the next second.
void QDebugFileLogger::Impl::checkFileHandle() {
  if (file.isOpen()) return;
  const std::int64_t now = detail::floorSeconds(detail::nowNs());
  if (now < retryAt) return;
  std::error_code ec;
  fs::create_directories(dirPath, ec);
  const std::string stem = dirPath + "/" + detail::stampText(now);
  for (int n = 0; n < kMaxSuffix; ++n) {
    const std::string path = n == 0 ? stem + ".log" : stem + "_" + std::to_string(n) + ".log";
    if (file.open(path, detail::AppendFile::Mode::createNew) != EEXIST) break;
  }
  if (!file.isOpen()) retryAt = now + 1;
}

void QDebugFileLogger::Impl::writeLine(std::string_view text, bool flushNow) noexcept {
  try {
    checkFileHandle();
    file.appendLine(text);  // counted as lost when no file could be made
    if (flushNow || file.bufferFull()) file.flush();
  } catch (...) {
    // Out of memory while buffering: this line is lost, logging goes on.
  }
}

}  // namespace ostrane
