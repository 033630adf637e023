#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace vexhal::video {

// The kernel calls the V4L2 code makes. Tests substitute a fake device for the kernel.
// Each call returns what the system call returns and sets errno the same way.
class V4l2Io {
 public:
  virtual ~V4l2Io() = default;

  virtual int open(const char* path, int flags) = 0;
  virtual int close(int fd) = 0;
  virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) = 0;
  virtual int munmap(void* address, std::size_t length) = 0;
  virtual int poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;

  // The real kernel.
  static std::shared_ptr<V4l2Io> system();
};

}  // namespace vexhal::video
