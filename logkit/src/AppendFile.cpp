#include "AppendFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrane::detail {

AppendFile::~AppendFile() { close(); }

bool AppendFile::open(const std::string& path, bool truncate) {
    close();
    const int flags = O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    onDisk_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void AppendFile::close() noexcept {
    if (fd_ < 0) return;
    flush();
    ::close(fd_);
    fd_ = -1;
    onDisk_ = 0;
    buffer_.clear();
}

void AppendFile::append(std::string_view bytes, std::string_view more) {
    if (fd_ < 0) return;
    buffer_.append(bytes);
    buffer_.append(more);
    if (buffer_.size() >= kBufferLimit) flush();
}

void AppendFile::flush() noexcept {
    if (fd_ < 0 || buffer_.empty()) return;
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // full disk or I/O error: the rest is lost, logging goes on
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
    if (buffer_.capacity() > 4 * kBufferLimit) std::string().swap(buffer_);
    struct stat st {};
    if (fstat(fd_, &st) == 0) onDisk_ = static_cast<std::uint64_t>(st.st_size);
}

bool AppendFile::unlinked() const noexcept {
    struct stat st {};
    return fd_ >= 0 && fstat(fd_, &st) == 0 && st.st_nlink == 0;
}

} // namespace ostrane::detail
