#pragma once

// The background thread "com.log.list" that makes directory listings, and the hand-over of
// their completions to the host's main thread.

#include <ostrane/QlogFileModel.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrane::detail {

class ListingWorker {
 public:
  using Task = std::function<void()>;
  using Poster = std::function<void(Task)>;

  // Runs `work` on the listing thread. Pending work is dropped at process exit.
  static void run(Task work) noexcept;
  // Runs `completion` through the host's poster, or right here when there is none.
  static void complete(Task completion) noexcept;
  static void setPoster(Poster poster);
  // Lists the directory named by `dir` (read on the listing thread), newest first, and hands
  // the list to `completion` as complete() does.
  static void listNewestFirst(std::function<std::string()> dir,
                              std::function<void(std::vector<QlogFileModel>)> completion) noexcept;

 private:
  ListingWorker();
  static ListingWorker& instance();
  void loop() noexcept;
  void shutdown() noexcept;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::atomic<bool> forkedChild_{false};
  std::thread thread_;
};

}  // namespace ostrane::detail
