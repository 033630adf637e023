#pragma once

// Helpers for the widget suites (linked through vexhal_qt_test_main).

#include <ostrane/ostrane.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexhal::test {

class MemoryLogHandler : public ostrane::QLogHandler {
 public:
  void log(const std::string& line) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The handler behind the default logger of the test process.
std::shared_ptr<MemoryLogHandler> logHandler();
// Every line logged so far, once the log queue has delivered it.
std::vector<std::string> loggedLines();
// True when a logged line contains `text`.
bool logged(const std::string& text);

// Runs the deletions that deleteLater queued.
void processDeferredDeletes();

// A scheduler that keeps its tasks for the test to run by hand.
struct RecordingScheduler {
  struct Task {
    int ms;
    std::function<void()> run;
  };
  std::shared_ptr<std::vector<Task>> tasks = std::make_shared<std::vector<Task>>();

  template <typename Context>
  std::function<void(Context*, int, std::function<void()>)> function() {
    return [tasks = tasks](Context*, int ms, std::function<void()> task) {
      tasks->push_back({ms, std::move(task)});
    };
  }
};

}  // namespace vexhal::test
