#include "video/linux/V4l2Io.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace vexhal::video {
namespace {

class SystemV4l2Io final : public V4l2Io {
 public:
  int open(const char* path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
  int close(int fd) override { return ::close(fd); }
  int ioctl(int fd, unsigned long request, void* arg) override {
    int result = 0;
    do {
      result = ::ioctl(fd, request, arg);
    } while (result == -1 && errno == EINTR);
    return result;
  }
  void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override {
    return ::mmap(nullptr, length, prot, flags, fd, offset);
  }
  int munmap(void* address, std::size_t length) override { return ::munmap(address, length); }
  int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    return ::poll(fds, count, timeoutMs);
  }
};

}  // namespace

std::shared_ptr<V4l2Io> V4l2Io::system() {
  static const auto io = std::make_shared<SystemV4l2Io>();
  return io;
}

}  // namespace vexhal::video
