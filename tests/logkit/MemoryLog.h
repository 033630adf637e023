#pragma once

// In-memory log capture for every suite: a handler that keeps its lines, and a scope that
// sends the default logger's lines to such a handler instead of the log files.

#include <ostrane/ostrane.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ostrane::test {

// How many of `lines` contain `marker`.
inline std::size_t countWith(const std::vector<std::string>& lines, const std::string& marker) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
    return l.find(marker) != std::string::npos;
  }));
}

class MemoryHandler : public QLogHandler {
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

class LogCapture {
 public:
  LogCapture() : previous_(ddLog()) {
    QLogger logger;
    logger.add(handler_);
    setDdLog(logger);
  }
  ~LogCapture() { setDdLog(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line logged so far, once the log queue has delivered it.
  std::vector<std::string> lines() const {
    flushLogQueue();
    return handler_->lines();
  }
  std::size_t count(const std::string& text) const { return countWith(lines(), text); }

 private:
  QLogger previous_;
  std::shared_ptr<MemoryHandler> handler_ = std::make_shared<MemoryHandler>();
};

}  // namespace ostrane::test
