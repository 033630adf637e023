#pragma once

// Helpers for the widget suites (linked through vexhal_qt_test_main).

#include "logkit/MemoryLog.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexhal::test {

using MemoryLogHandler = ostrane::test::MemoryHandler;

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
