#include "device/uvc/linux/V4l2Syscalls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace vexhal {
namespace {

class SystemV4l2Syscalls final : public V4l2Syscalls {
 public:
  int open(const char* path, int flags) override {
    int fd;
    do {
      fd = ::open(path, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
  }

  int ioctl(int fd, unsigned long request, void* argument) override {
    int result;
    do {
      result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : result;
  }

  int close(int fd) override { return ::close(fd) < 0 ? -errno : 0; }
};

}  // namespace

V4l2Syscalls& V4l2Syscalls::system() {
  static SystemV4l2Syscalls syscalls;
  return syscalls;
}

}  // namespace vexhal
