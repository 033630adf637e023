#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace vexhal {

// The system calls the V4L2 code (UVC controls and capture) makes, behind one seam so tests can
// stand in for the kernel. Each returns its non-negative result, or the negated errno on failure;
// errno itself is never read.
class V4l2Syscalls {
 public:
  virtual ~V4l2Syscalls() = default;

  virtual int open(const char* path, int flags) = 0;
  virtual int close(int fd) = 0;
  virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
  // Maps `length` bytes of the node at `offset` into `*address`.
  virtual int mmap(std::size_t length, int prot, int flags, int fd, off_t offset,
                   void** address) = 0;
  virtual int munmap(void* address, std::size_t length) = 0;
  virtual int poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;

  // The real calls, retrying those interrupted by a signal (poll is left to its caller).
  static std::shared_ptr<V4l2Syscalls> system();
};

}  // namespace vexhal
