#include "base/Scheduler.h"

#include <QTimer>

namespace vexhal {

Scheduler defaultScheduler() {
  return [](QObject* context, int ms, std::function<void()> task) {
    QTimer::singleShot(ms, context, std::move(task));
  };
}

}  // namespace vexhal
