// Test main for the widget suites: a QApplication for the offscreen platform and a default
// logger that keeps its lines in memory, so tests can read what the screens log.

#include <QApplication>

#include <gtest/gtest.h>

#include "common/UiTestSupport.h"

namespace vexhal::test {

std::shared_ptr<MemoryLogHandler> logHandler() {
  static const auto handler = std::make_shared<MemoryLogHandler>();
  return handler;
}

std::vector<std::string> loggedLines() {
  ostrane::flushLogQueue();
  return logHandler()->lines();
}

bool logged(const std::string& text) {
  for (const std::string& line : loggedLines()) {
    if (line.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void processDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace vexhal::test

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  ostrane::QLogger logger;
  logger.add(vexhal::test::logHandler());
  ostrane::setDdLog(logger);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
