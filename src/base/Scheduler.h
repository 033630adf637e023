#pragma once

#include <functional>

class QObject;

namespace vexhal {

// Runs `task` once after `ms`, unless `context` is gone by then. Tests pass one that keeps the
// tasks to run by hand.
using Scheduler = std::function<void(QObject* context, int ms, std::function<void()> task)>;

// The event-loop timer form.
Scheduler defaultScheduler();

}  // namespace vexhal
