#pragma once

// Helpers for the widget suites (linked through vexhal_qt_test_main): the log the screens write,
// deferred deletes, a hand-run scheduler, and readers of the toasts and dialogs they leave.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/EventLoop.h"
#include "common/QAlertController.h"
#include "common/QParagraphLabel.h"
#include "extension/QHudOverlay.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"
#include "logkit/MemoryLog.h"

namespace vexhal::test {

// The handler behind the default logger of the test process.
inline std::shared_ptr<ostrane::test::MemoryHandler> logHandler() {
  static const auto handler = std::make_shared<ostrane::test::MemoryHandler>();
  return handler;
}

// How many logged lines contain `text`.
inline std::size_t countLogged(const std::string& text) {
  ostrane::flushLogQueue();
  return ostrane::test::countWith(logHandler()->lines(), text);
}

inline bool logged(const std::string& text) { return countLogged(text) > 0; }

// Runs the deletions that deleteLater queued.
inline void processDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

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

// The text of the toast on `window`, if one is shown.
inline std::optional<QString> toastText(QWidget* window) {
  QProgressHUD* toast = QHudOverlay::toast(window);
  auto* view = toast != nullptr ? qobject_cast<QToastView*>(toast->customView()) : nullptr;
  return view != nullptr ? std::optional(view->label()->text()) : std::nullopt;
}

// The shown widget of type T (a window, or a sheet inside one), if any.
template <typename T>
T* shown() {
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* match = qobject_cast<T*>(widget); match != nullptr && match->isVisible())
      return match;
  return nullptr;
}

// The titles of an alert's actions, in order.
inline QStringList actionTitles(const QAlertController* alert) {
  QStringList titles;
  for (const auto& action : alert->actions()) titles << action->title.value_or(QString());
  return titles;
}

// Clicks the alert's action titled `title`.
inline void choose(const QAlertController* alert, const QString& title) {
  for (const auto& action : alert->actions())
    if (action->title == title) return QTest::mouseClick(action->button, Qt::LeftButton);
}

}  // namespace vexhal::test
