#pragma once

// The application object and event-loop helpers for every suite, with or without widgets.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <functional>

namespace vexhal::test {

// The application object that notifiers, timers and posted completions need.
inline void ensureCoreApplication() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "vexhal-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }
}

// Runs the event loop until `done` holds, or gives up after a generous bound.
inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  QDeadlineTimer deadline(bound);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

// Runs the event loop without waiting, a bounded number of rounds so that chains of reads and
// posted completions finish.
inline void pumpEvents(int rounds = 8) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

// Enough rounds for every report already written to be answered and every completion to run.
inline void settle() { pumpEvents(30); }

}  // namespace vexhal::test
