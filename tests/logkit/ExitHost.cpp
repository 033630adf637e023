// A small host program linked against libostrane.so, run by ExitDrainTest:
//   drain N   main and one thread log N lines each, then main returns
//   exit N    a thread logs N lines and calls exit() while main waits
//   flood N   two threads log N lines each as fast as they can, then main returns
//   fork N    logs N lines, forks a child that tries to log and exits, then logs again
// A static object logs from its destructor, after the library's exit drain.

#include <ostrane/ostrane.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("ExitHost")

namespace {

struct LogsAtDestruction {
    ~LogsAtDestruction() { QLog("static destructor line"); }
} logsAtDestruction;

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int n = std::atoi(argv[2]);
    if (std::strcmp(argv[1], "drain") == 0) {
        std::thread worker([n] {
            for (int i = 0; i < n; ++i) QLog("worker", i);
        });
        for (int i = 0; i < n; ++i) QLog("main", i);
        worker.join();
        return 0;
    }
    if (std::strcmp(argv[1], "exit") == 0) {
        std::thread([n] {
            for (int i = 0; i < n; ++i) WarnLog("exiting thread", i);
            std::exit(0);
        }).detach();
        for (;;) pause();
    }
    if (std::strcmp(argv[1], "flood") == 0) {
        auto flood = [n](int t) {
            for (int i = 0; i < n; ++i) QLog("flood", t, i);
        };
        std::thread a(flood, 0);
        std::thread b(flood, 1);
        a.join();
        b.join();
        return 0;
    }
    if (std::strcmp(argv[1], "fork") == 0) {
        for (int i = 0; i < n; ++i) QLog("before fork", i);
        const pid_t child = fork();
        if (child == 0) {
            QLog("in child");
            ostrane::flushLogQueue();
            std::exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 3;
        QLog("after fork");
        return 0;
    }
    return 2;
}
