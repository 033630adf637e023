// Test main for the widget suites: a QApplication for the offscreen platform and a default
// logger that keeps its lines in memory, so tests can read what the screens log.

#include "common/UiTestSupport.h"

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  ostrane::QLogger logger;
  logger.add(vexhal::test::logHandler());
  ostrane::setDdLog(logger);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
