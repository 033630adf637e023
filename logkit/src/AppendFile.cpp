#include "AppendFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ostrane::detail {

namespace {

// Past the file-size limit (RLIMIT_FSIZE) the kernel sends SIGXFSZ, which ends a process that
// does not ignore it. Held back while writing, the write fails with EFBIG instead and is
// handled like a full disk; the signal it raised is taken off this thread before it unblocks.
class FileSizeSignalHold {
 public:
  FileSizeSignalHold() noexcept {
    sigemptyset(&set_);
    sigaddset(&set_, SIGXFSZ);
    held_ = pthread_sigmask(SIG_BLOCK, &set_, &previous_) == 0 && !sigismember(&previous_, SIGXFSZ);
  }
  ~FileSizeSignalHold() {
    if (!held_) return;
    if (raised_) {
      const timespec none{};
      sigtimedwait(&set_, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  FileSizeSignalHold(const FileSizeSignalHold&) = delete;
  FileSizeSignalHold& operator=(const FileSizeSignalHold&) = delete;

  void noteError(int error) noexcept { raised_ = raised_ || error == EFBIG; }

 private:
  sigset_t set_;
  sigset_t previous_;
  bool held_ = false;
  bool raised_ = false;
};

}  // namespace

AppendFile::~AppendFile() { close(); }

int AppendFile::open(const std::string& path, Mode mode) {
  close();
  const int flags = O_RDWR | O_APPEND | O_CLOEXEC;
  bool made = true;
  int fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
  if (fd < 0 && errno == EEXIST && mode == Mode::openOrCreate) {
    made = false;
    fd = ::open(path.c_str(), flags);
  }
  if (fd < 0) return openError_ = errno;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return openError_ = EINVAL;
  }
  fd_ = fd;
  created_ = made;
  onDisk_ = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

void AppendFile::close() noexcept {
  if (fd_ < 0) return;
  flush();
  ::close(fd_);
  fd_ = -1;
  onDisk_ = 0;
  buffer_.clear();
  ends_.clear();
}

void AppendFile::appendLine(std::string_view text) {
  if (fd_ < 0) {
    countLost(1, openError_);
    return;
  }
  // Room first, so that the push below cannot fail after the bytes went in.
  if (ends_.size() == ends_.capacity())
    ends_.reserve(std::max<std::size_t>(256, 2 * ends_.capacity()));
  buffer_.append(text);
  buffer_ += '\n';
  ends_.push_back(buffer_.size());
}

void AppendFile::countLost(std::uint64_t lines, int error) noexcept {
  if (lines == 0) return;
  lostLines_ += lines;
  lostError_ = error;
}

std::string AppendFile::lossText(std::uint64_t lines, int error) {
  return std::to_string(lines) +
         " lines lost: " + (error ? std::generic_category().message(error) : "no log file");
}

// Puts the loss notice in front of the buffered lines; false when there is none to give.
bool AppendFile::prependNotice() noexcept {
  if (lostLines_ == 0 || !notice_) return false;
  try {
    std::string line = notice_(lossText(lostLines_, lostError_));
    line += '\n';
    ends_.reserve(ends_.size() + 1);
    buffer_.insert(0, line);
    for (auto& end : ends_) end += line.size();
    ends_.insert(ends_.begin(), line.size());
    return true;
  } catch (...) {
    return false;
  }
}

void AppendFile::flush() noexcept {
  if (fd_ < 0 || buffer_.empty()) return;
  const bool notice = prependNotice();
  std::size_t written = 0;
  int error = 0;
  {
    FileSizeSignalHold hold;
    while (written < buffer_.size()) {
      const ssize_t n = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = n < 0 ? errno : EIO;
        hold.noteError(error);
        break;
      }
      written += static_cast<std::size_t>(n);
    }
  }
  const auto whole = static_cast<std::size_t>(
      std::upper_bound(ends_.begin(), ends_.end(), written) - ends_.begin());
  if (notice && whole > 0) lostLines_ = 0;
  if (written < buffer_.size()) {
    // A line cut short would run into the next line written: cut it back off the file.
    const std::size_t torn = written - (whole ? ends_[whole - 1] : 0);
    struct stat st {};
    if (torn > 0 && fstat(fd_, &st) == 0 && static_cast<std::size_t>(st.st_size) >= torn &&
        ftruncate(fd_, st.st_size - static_cast<off_t>(torn)) != 0) {
      // The fragment stays; there is nothing better to do with a file that cannot shrink.
    }
    // An unwritten notice is not itself a lost line: it stays due with the count it had.
    countLost(ends_.size() - whole - (notice && whole == 0 ? 1 : 0), error);
  }
  buffer_.clear();
  ends_.clear();
  if (buffer_.capacity() > 4 * kBufferLimit) std::string().swap(buffer_);
  struct stat st {};
  if (fstat(fd_, &st) == 0) onDisk_ = static_cast<std::uint64_t>(st.st_size);
}

AppendFile::Pending AppendFile::takePending() noexcept {
  Pending pending{std::move(buffer_), std::move(ends_)};
  buffer_.clear();
  ends_.clear();
  return pending;
}

void AppendFile::restorePending(Pending pending) {
  if (pending.ends.empty()) return;
  if (fd_ < 0) {
    countLost(pending.ends.size(), openError_);
    return;
  }
  const std::size_t offset = buffer_.size();
  ends_.reserve(ends_.size() + pending.ends.size());
  buffer_.append(pending.bytes);
  for (const auto end : pending.ends) ends_.push_back(offset + end);
}

bool AppendFile::unlinked() const noexcept {
  struct stat st {};
  return fd_ >= 0 && fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

}  // namespace ostrane::detail
