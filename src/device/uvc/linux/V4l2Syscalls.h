#pragma once

namespace vexhal {

// The system calls the V4L2 code makes, behind one seam so tests can stand in for the kernel.
// Each returns its non-negative result, or the negated errno on failure.
class V4l2Syscalls {
 public:
  virtual ~V4l2Syscalls() = default;

  virtual int open(const char* path, int flags) = 0;
  virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int close(int fd) = 0;

  // The real calls, retrying those interrupted by a signal.
  static V4l2Syscalls& system();
};

}  // namespace vexhal
