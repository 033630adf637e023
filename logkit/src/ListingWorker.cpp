#include "ListingWorker.h"

#include "DirScan.h"

#include <cstdlib>
#include <pthread.h>

namespace ostrane::detail {
namespace {

std::mutex posterMutex;
ListingWorker::Poster* currentPoster = nullptr;  // never freed once set, for late completions
ListingWorker* theWorker = nullptr;

}  // namespace

ListingWorker::ListingWorker() {
  thread_ = std::thread([this] { loop(); });
}

ListingWorker& ListingWorker::instance() {
  static ListingWorker* worker = [] {
    auto* w = new ListingWorker;
    theWorker = w;
    std::atexit([] { theWorker->shutdown(); });
    // A forked child has no listing thread to hand work to or to join.
    pthread_atfork(nullptr, nullptr, [] { theWorker->forkedChild_ = true; });
    return w;
  }();
  return *worker;
}

void ListingWorker::run(Task work) noexcept {
  try {
    auto& w = instance();
    if (w.forkedChild_) return;
    {
      std::lock_guard lock(w.mutex_);
      if (w.stopping_) return;
      w.tasks_.push_back(std::move(work));
    }
    w.cv_.notify_one();
  } catch (...) {
  }
}

void ListingWorker::complete(Task completion) noexcept {
  try {
    Poster poster;
    {
      std::lock_guard lock(posterMutex);
      if (currentPoster) poster = *currentPoster;
    }
    if (poster)
      poster(std::move(completion));
    else
      completion();
  } catch (...) {
  }
}

void ListingWorker::listNewestFirst(
    std::function<std::string()> dir,
    std::function<void(std::vector<QlogFileModel>)> completion) noexcept {
  if (!completion || !dir) return;
  try {
    run([dir = std::move(dir), completion = std::move(completion)]() mutable {
      auto list = sortedListing(dir(), true);
      complete([completion = std::move(completion), list = std::move(list)]() mutable {
        completion(std::move(list));
      });
    });
  } catch (...) {
  }
}

void ListingWorker::setPoster(Poster poster) {
  auto next = std::make_unique<Poster>(std::move(poster));
  std::lock_guard lock(posterMutex);
  if (currentPoster)
    std::swap(*currentPoster, *next);
  else
    currentPoster = next.release();
}

void ListingWorker::loop() noexcept {
  pthread_setname_np(pthread_self(), "com.log.list");
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      if (stopping_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task();
    } catch (...) {
    }
  }
}

void ListingWorker::shutdown() noexcept {
  if (forkedChild_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    tasks_.clear();
  }
  cv_.notify_all();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

}  // namespace ostrane::detail
