#include "device/linux/V4l2Syscalls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace vexhal {
namespace {

int resultOf(int result) { return result < 0 ? -errno : result; }

class SystemV4l2Syscalls final : public V4l2Syscalls {
 public:
  int open(const char* path, int flags) override {
    int fd;
    do {
      fd = ::open(path, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return resultOf(fd);
  }

  int close(int fd) override { return resultOf(::close(fd)); }

  int ioctl(int fd, unsigned long request, void* argument) override {
    int result;
    do {
      result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return resultOf(result);
  }

  int mmap(std::size_t length, int prot, int flags, int fd, off_t offset, void** address) override {
    *address = ::mmap(nullptr, length, prot, flags, fd, offset);
    return *address == MAP_FAILED ? -errno : 0;
  }

  int munmap(void* address, std::size_t length) override {
    return resultOf(::munmap(address, length));
  }

  int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    return resultOf(::poll(fds, count, timeoutMs));
  }
};

}  // namespace

std::shared_ptr<V4l2Syscalls> V4l2Syscalls::system() {
  static const auto syscalls = std::make_shared<SystemV4l2Syscalls>();
  return syscalls;
}

}  // namespace vexhal
