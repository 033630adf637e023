#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <ostrane/ostrane.h>
#include <string>
#include <vector>

namespace vexhal::video::testing {

// Takes the default logger's lines for the lifetime of the object (no log files are written)
// and gives them back for inspection.
class LogCapture {
public:
  LogCapture() : previous_(ostrane::ddLog()) {
    ostrane::QLogger logger = previous_;
    logger.setDelegate(observer_);
    ostrane::setDdLog(logger);
  }
  ~LogCapture() { ostrane::setDdLog(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line logged so far (waits for the log queue to deliver them).
  std::vector<std::string> lines() {
    ostrane::flushLogQueue();
    const std::lock_guard lock(observer_->mutex);
    return observer_->lines;
  }
  std::size_t count(const std::string& text) {
    const auto all = lines();
    return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const auto& line) {
      return line.find(text) != std::string::npos;
    }));
  }

private:
  struct Observer final : ostrane::QLoggerObserver {
    void onLog(ostrane::LogLevel /*level*/, const std::string& line) override {
      const std::lock_guard lock(mutex);
      lines.push_back(line);
    }
    std::mutex mutex;
    std::vector<std::string> lines;
  };

  ostrane::QLogger previous_;
  std::shared_ptr<Observer> observer_ = std::make_shared<Observer>();
};

}  // namespace vexhal::video::testing
