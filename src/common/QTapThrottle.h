#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

class QAbstractButton;

namespace vexhal {

// Lets through the first tap of a burst and drops the taps that follow it within the window;
// the next tap after the window counts again.
class QTapThrottle {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit QTapThrottle(
      std::chrono::milliseconds window,
      Clock clock = [] { return std::chrono::steady_clock::now(); });

  // True when this tap counts.
  bool accept();

  // Runs `action` for the clicks of `button` that a throttle of `window` lets through. The
  // connection lives as long as the button.
  static void connect(
      QAbstractButton* button, std::chrono::milliseconds window, std::function<void()> action,
      Clock clock = [] { return std::chrono::steady_clock::now(); });

 private:
  std::chrono::milliseconds window_;
  Clock clock_;
  std::optional<std::chrono::steady_clock::time_point> lastAccepted_;
};

}  // namespace vexhal
