// A small host program linked against libostrane.so, run by ExitDrainTest:
//   drain N   main and one thread log N lines each, then main returns
//   exit N    a thread logs N lines and calls exit() while main waits
//   flood N   two threads log N lines each as fast as they can, then main returns
//   handler-exit N   a handler calls exit() on the log queue thread while N lines wait
// A static object logs from its destructor, after the library's exit drain.

#include <ostrane/ostrane.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("ExitHost")

namespace {

// Ends the process from inside a delivery when it sees "bye".
class ExitingHandler : public ostrane::QLogHandler {
 public:
  void log(const std::string& line) override {
    if (line.find("]: bye [") != std::string::npos) std::exit(0);
  }
};

struct LogsAtDestruction {
  ~LogsAtDestruction() { QLog("static destructor line"); }
} logsAtDestruction;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string mode = argv[1];
  const int n = std::atoi(argv[2]);
  const auto logMany = [n](const char* what, int t) {
    for (int i = 0; i < n; ++i) t < 0 ? QLog(what, i) : QLog(what, t, i);
  };
  if (mode == "drain" || mode == "flood") {
    std::thread a(logMany, mode == "drain" ? "worker" : "flood", mode == "drain" ? -1 : 0);
    if (mode == "flood")
      std::thread(logMany, "flood", 1).join();
    else
      logMany("main", -1);
    a.join();
    return 0;
  }
  if (mode == "exit") {
    std::thread([n] {
      for (int i = 0; i < n; ++i) WarnLog("exiting thread", i);
      std::exit(0);
    }).detach();
    for (;;) pause();
  }
  if (mode == "handler-exit") {
    ostrane::QLogger logger = ostrane::ddLog();
    logger.add(std::make_shared<ExitingHandler>());
    ostrane::setDdLog(logger);
    QLog("bye");
    logMany("waiting", -1);
    for (;;) pause();
  }
  return 2;
}
