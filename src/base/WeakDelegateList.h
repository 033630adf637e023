#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace vexhal {

// Delegates held weakly, in the order added; expired ones are dropped as the list is touched.
template <typename T>
class WeakDelegateList {
 public:
  // Adding a delegate that is already there (or none) changes nothing.
  void add(const std::shared_ptr<T>& delegate) {
    if (!delegate) {
      return;
    }
    prune();
    const bool known = std::any_of(delegates_.begin(), delegates_.end(),
                                   [&](const auto& weak) { return weak.lock() == delegate; });
    if (!known) {
      delegates_.push_back(delegate);
    }
  }

  void remove(const std::shared_ptr<T>& delegate) {
    std::erase_if(delegates_, [&](const auto& weak) {
      const auto live = weak.lock();
      return !live || live == delegate;
    });
  }

  // Calls `call` once for each delegate alive when the call starts, so delegates may add or
  // remove delegates from within it.
  template <typename F>
  void forEach(F&& call) {
    prune();
    std::vector<std::shared_ptr<T>> live;
    live.reserve(delegates_.size());
    for (const auto& weak : delegates_) {
      if (auto delegate = weak.lock()) {
        live.push_back(std::move(delegate));
      }
    }
    for (const auto& delegate : live) {
      call(*delegate);
    }
  }

 private:
  void prune() {
    std::erase_if(delegates_, [](const auto& weak) { return weak.expired(); });
  }

  std::vector<std::weak_ptr<T>> delegates_;
};

}  // namespace vexhal
