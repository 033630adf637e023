#include "common/QTapThrottle.h"

#include <QAbstractButton>

#include <memory>

namespace vexhal {

QTapThrottle::QTapThrottle(std::chrono::milliseconds window, Clock clock)
    : window_(window), clock_(std::move(clock)) {}

bool QTapThrottle::accept() {
  const auto now = clock_();
  if (lastAccepted_ && now - *lastAccepted_ < window_) {
    return false;
  }
  lastAccepted_ = now;
  return true;
}

void QTapThrottle::connect(QAbstractButton* button, std::chrono::milliseconds window,
                           std::function<void()> action, Clock clock) {
  auto throttle = std::make_shared<QTapThrottle>(window, std::move(clock));
  QObject::connect(button, &QAbstractButton::clicked, button,
                   [throttle, action = std::move(action)] {
                     if (throttle->accept() && action) {
                       action();
                     }
                   });
}

}  // namespace vexhal
