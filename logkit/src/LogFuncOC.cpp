#include <ostrane/LogFuncOC.h>

#include <atomic>
#include <pthread.h>
#include <unistd.h>

namespace ostrane {
namespace {

std::atomic<std::uint64_t> cachedPid{0};
thread_local std::uint64_t cachedTid = 0;

void renewAfterFork() {
  cachedPid.store(0, std::memory_order_relaxed);
  cachedTid = 0;
}

const bool forkHookInstalled = [] {
  pthread_atfork(nullptr, nullptr, &renewAfterFork);
  return true;
}();

}  // namespace

std::uint64_t LogFuncOC::getThreadId() noexcept {
  if (cachedTid == 0) cachedTid = static_cast<std::uint64_t>(gettid());
  return cachedTid;
}

std::uint64_t LogFuncOC::getProgressId() noexcept {
  std::uint64_t pid = cachedPid.load(std::memory_order_relaxed);
  if (pid == 0) {
    pid = static_cast<std::uint64_t>(getpid());
    cachedPid.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

}  // namespace ostrane
