#pragma once

#include <ostrane/Export.h>

#include <cstdint>

namespace ostrane {

class OSTRANE_EXPORT LogFuncOC {
 public:
  // The calling thread's kernel thread id (gettid), cached per thread.
  static std::uint64_t getThreadId() noexcept;
  // The process id (getpid), cached; both caches are renewed in a forked child.
  static std::uint64_t getProgressId() noexcept;
};

}  // namespace ostrane
