#include <ostrane/QDebugFileLogger.h>

#include "AppDirs.h"
#include "AppendFile.h"
#include "Clock.h"
#include "ListingWorker.h"

#include <filesystem>
#include <limits>
#include <mutex>

namespace fs = std::filesystem;

namespace ostrane {

struct [[gnu::visibility("hidden")]] QDebugFileLogger::Impl {
    explicit Impl(std::string dir) : dirPath(std::move(dir)) {}

    const std::string dirPath;
    std::mutex mutex; // write() may come from any thread besides the log queue
    detail::AppendFile file;
    std::int64_t retryAt = std::numeric_limits<std::int64_t>::min();

    void checkFileHandle();
    void writeLine(std::string_view text, bool flushNow) noexcept;
};

QDebugFileLogger::QDebugFileLogger() : QDebugFileLogger(detail::cachesDirectory() + "/QDebugLogs") {}

QDebugFileLogger::QDebugFileLogger(std::string debugDirPath)
    : impl_(std::make_unique<Impl>(std::move(debugDirPath))) {}

QDebugFileLogger::~QDebugFileLogger() = default;

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

void QDebugFileLogger::getDebugLogList(std::function<void(std::vector<QlogFileModel>)> completion) const {
    detail::ListingWorker::listNewestFirst([dir = impl_->dirPath] { return dir; }, std::move(completion));
}

// Opens this handler's one file, named by the moment of its first line. When that fails the
// line is dropped, and the next attempt waits for the next second.
void QDebugFileLogger::Impl::checkFileHandle() {
    if (file.isOpen()) return;
    const std::int64_t now = detail::floorSeconds(detail::nowNs());
    if (now < retryAt) return;
    std::error_code ec;
    fs::create_directories(dirPath, ec);
    if (!file.open(dirPath + "/" + detail::stampText(now) + ".log", true)) retryAt = now + 1;
}

void QDebugFileLogger::Impl::writeLine(std::string_view text, bool flushNow) noexcept {
    try {
        checkFileHandle();
        if (!file.isOpen()) return;
        file.append(text, "\n");
        if (flushNow) file.flush();
    } catch (...) {
        // Out of memory while buffering: this line is lost, logging goes on.
    }
}

} // namespace ostrane
