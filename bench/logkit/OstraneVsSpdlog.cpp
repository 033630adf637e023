// QLog against spdlog in one run, writing the same line to a rotating file (50 MiB files):
//   [date] [debug]: CameraList, refreshCameraList <n> front [tid] [pid] [file:line] [function]
// The anchors: spdlog's asynchronous logger, and its synchronous rotating logger with the process
// id written into its pattern (its fastest setup for this line). Each queue size runs in its own
// process, as both queues are sized once per process:
//   enlarged  1 Mi slots each, so no call waits or drops and the caller figures are the call;
//   shipped   Ostrane's 8,192-slot ring (drops on overflow, with a notice) and spdlog's 8,192
//             slots (the caller blocks).
// Each size measures:
// 1. bursts: 1,000,000 calls as fast as 1 and 2 threads can make them; ns per call (median,
//    p99) and lines dropped;
// 2. lines per second from the first call until every line is in the file (1 thread);
// 3. paced: 100,000 lines a second from 2 threads for 3 s (50 lines a thread every millisecond);
//    ns per call and lines dropped.
// A dropped line is one of the calls that is not in the files afterwards. The ns per call leave
// out the clock reads that time them (the median of two back-to-back reads, printed; about 50 ns
// on a virtual machine, as much as a whole call).
//
//   ostrane_vs_spdlog [scratch dir]

#include "LogQueue.h"

#include <ostrane/ostrane.h>

#include <spdlog/async.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kBurstLines = 1000000;
constexpr std::size_t kEnlargedSlots = 1 << 20;
constexpr std::size_t kShippedSlots = 8192;  // spdlog's default queue is this size too
constexpr std::size_t kFileSize = 52428800;
constexpr int kPacedThreads = 2;
constexpr int kPacedLinesPerTick = 50;  // a thread, every millisecond: 100,000 lines/s in all
constexpr int kPacedTicks = 3000;

enum class Logger { ostrane, spdlogAsync, spdlogSync };

const char* nameOf(Logger logger) {
  switch (logger) {
    case Logger::ostrane:
      return "ostrane";
    case Logger::spdlogAsync:
      return "spdlog async";
    case Logger::spdlogSync:
      return "spdlog sync";
  }
  return "";
}

struct Result {
  double median = 0;  // ns per call
  double p99 = 0;
  double linesPerSecond = 0;  // lines on disk per second, first call to last line on disk
  long dropped = 0;
};

std::int64_t nanosSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// Lines in every file of a directory that contain the benchmark's text.
long countLines(const std::string& dir) {
  long n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);)
      n += line.find("refreshCameraList") != std::string::npos;
  }
  return n;
}

// How the calls are made: `threads` threads, each making `perThread` calls, all at once or
// `perTick` calls every millisecond. Returns every call's duration.
struct Load {
  int threads = 1;
  int perThread = kBurstLines;
  int perTick = 0;  // 0: as fast as possible

  int lines() const { return threads * perThread; }
};

template <typename Call>
std::vector<std::int64_t> produce(const Load& load, Call call) {
  std::vector<std::vector<std::int64_t>> samples(static_cast<std::size_t>(load.threads));
  std::vector<std::thread> threads;
  const auto begin = Clock::now();
  for (int t = 0; t < load.threads; ++t) {
    threads.emplace_back([&, t] {
      auto& mine = samples[static_cast<std::size_t>(t)];
      mine.reserve(static_cast<std::size_t>(load.perThread));
      auto tick = begin;
      for (int i = 0; i < load.perThread; ++i) {
        if (load.perTick > 0 && i % load.perTick == 0) {
          std::this_thread::sleep_until(tick);
          tick += std::chrono::milliseconds(1);
        }
        const auto start = Clock::now();
        call(i);
        mine.push_back(nanosSince(start));
      }
    });
  }
  for (auto& t : threads) t.join();
  std::vector<std::int64_t> all;
  for (auto& s : samples) all.insert(all.end(), s.begin(), s.end());
  return all;
}

// The cost of timing a call that does nothing: the median of 100,000 back-to-back clock reads.
double timerOverhead() {
  static const double overhead = [] {
    std::vector<std::int64_t> ns;
    for (int i = 0; i < 100000; ++i) {
      const auto start = Clock::now();
      ns.push_back(nanosSince(start));
    }
    std::nth_element(ns.begin(), ns.begin() + static_cast<long>(ns.size() / 2), ns.end());
    return static_cast<double>(ns[ns.size() / 2]);
  }();
  return overhead;
}

Result summarize(std::vector<std::int64_t> ns, double seconds, long onDisk, int lines) {
  std::sort(ns.begin(), ns.end());
  Result r;
  r.median = static_cast<double>(ns[ns.size() / 2]) - timerOverhead();
  r.p99 = static_cast<double>(ns[ns.size() * 99 / 100]) - timerOverhead();
  r.linesPerSecond = static_cast<double>(onDisk) / seconds;
  r.dropped = lines - onDisk;
  return r;
}

Result runOstrane(const std::string& dir, const Load& load) {
  fs::remove_all(dir);
  auto config = std::make_shared<ostrane::QFileLogConfig>(dir);
  config->setLimitFileSize(kFileSize);
  ostrane::QLogger logger;
  logger.add(std::make_shared<ostrane::QFileLogger>(config));
  ostrane::setDdLog(logger);
  const std::string name = "front";
  const auto start = Clock::now();
  auto samples = produce(load, [&](int i) { QLog("CameraList, refreshCameraList", i, name); });
  ostrane::flushLogQueue();
  const double seconds = static_cast<double>(nanosSince(start)) / 1e9;
  ostrane::setDdLog(ostrane::QLogger());
  return summarize(std::move(samples), seconds, countLines(dir), load.lines());
}

Result runSpdlog(const std::string& dir, const Load& load, std::size_t slots, bool async) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::shared_ptr<spdlog::logger> logger;
  if (async) {
    spdlog::init_thread_pool(slots, 1);
    logger = std::make_shared<spdlog::async_logger>(
        "bench",
        std::make_shared<spdlog::sinks::rotating_file_sink_st>(dir + "/spdlog.log", kFileSize,
                                                               1000),
        spdlog::thread_pool(), spdlog::async_overflow_policy::block);
  } else {
    logger = std::make_shared<spdlog::logger>(
        "bench", std::make_shared<spdlog::sinks::rotating_file_sink_mt>(dir + "/spdlog.log",
                                                                        kFileSize, 1000));
  }
  logger->set_level(spdlog::level::trace);
  // The process id goes into the pattern once instead of being looked up per line.
  logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l]: %v [%t] [" + std::to_string(getpid()) +
                      "] [%s:%#] [%!]");
  const std::string name = "front";
  const auto start = Clock::now();
  auto samples = produce(load, [&](int i) {
    const auto here = std::source_location::current();
    logger->log(
        spdlog::source_loc{here.file_name(), static_cast<int>(here.line()), here.function_name()},
        spdlog::level::debug, "CameraList, refreshCameraList {} {}", i, name);
  });
  // Dropping the logger (and the pool) drains the queue and closes the file.
  logger->flush();
  logger.reset();
  spdlog::shutdown();
  const double seconds = static_cast<double>(nanosSince(start)) / 1e9;
  return summarize(std::move(samples), seconds, countLines(dir), load.lines());
}

Result run(Logger logger, const std::string& scratch, const Load& load, std::size_t slots) {
  const std::string dir = scratch + "/" + (logger == Logger::ostrane ? "ostrane" : "spdlog");
  return logger == Logger::ostrane ? runOstrane(dir, load)
                                   : runSpdlog(dir, load, slots, logger == Logger::spdlogAsync);
}

void printRow(const char* what, Logger logger, const Result& r) {
  std::fprintf(stderr, "  %-26s %-13s %9.0f %9.0f %12.0f %9ld\n", what, nameOf(logger), r.median,
               r.p99, r.linesPerSecond, r.dropped);
}

void printGoal(const char* what, double ratio, bool met) {
  std::fprintf(stderr, "  %-58s %6.2f  %s\n", what, ratio, met ? "met" : "MISSED");
}

// One queue size, in its own process. Returns 1 when spdlog lost a line (it must not), or
// Ostrane did with a queue that holds every line.
int measure(const std::string& scratch, std::size_t slots, bool shipped) {
  ostrane::detail::LogQueue::setCapacityForTesting(slots);
  std::fprintf(stderr, "\n%s queues, %zu slots (timer overhead %.0f ns, left out)\n",
               shipped ? "shipped" : "enlarged", slots, timerOverhead());
  std::fprintf(stderr, "  %-26s %-13s %9s %9s %12s %9s\n", "", "", "ns median", "ns p99", "lines/s",
               "dropped");

  // Warm both once (thread start-up, first file), then measure.
  run(Logger::ostrane, scratch, Load{1, 20000, 0}, slots);
  run(Logger::spdlogAsync, scratch, Load{1, 20000, 0}, slots);

  int status = 0;
  const auto check = [&](Logger logger, const Result& r) {
    if (r.dropped != 0 && (logger != Logger::ostrane || !shipped)) status = 1;
    return r;
  };
  Result burst[2][3];
  for (int threads : {1, 2}) {
    const Load load{threads, kBurstLines / threads, 0};
    const char* what = threads == 1 ? "burst, 1 thread" : "burst, 2 threads";
    for (Logger logger : {Logger::ostrane, Logger::spdlogAsync, Logger::spdlogSync}) {
      const Result r = check(logger, run(logger, scratch, load, slots));
      burst[threads - 1][static_cast<int>(logger)] = r;
      printRow(what, logger, r);
    }
  }
  const Load paced{kPacedThreads, kPacedLinesPerTick * kPacedTicks, kPacedLinesPerTick};
  Result steady[3];
  for (Logger logger : {Logger::ostrane, Logger::spdlogAsync, Logger::spdlogSync}) {
    steady[static_cast<int>(logger)] = check(logger, run(logger, scratch, paced, slots));
    printRow("paced 100,000/s, 2 threads", logger, steady[static_cast<int>(logger)]);
  }

  const Result& o = steady[static_cast<int>(Logger::ostrane)];
  const Result& a = steady[static_cast<int>(Logger::spdlogAsync)];
  const double rate = burst[0][static_cast<int>(Logger::ostrane)].linesPerSecond;
  const double syncRate = burst[0][static_cast<int>(Logger::spdlogSync)].linesPerSecond;
  std::fprintf(stderr, "  goals (ratio ostrane / anchor)\n");
  printGoal("paced caller median / spdlog async, at most 0.5", o.median / a.median,
            o.median <= 0.5 * a.median);
  printGoal("paced caller p99 / spdlog async, at most 1", o.p99 / a.p99, o.p99 <= a.p99);
  printGoal("lines/s to disk (1 thread) / spdlog sync, at least 1", rate / syncRate,
            rate >= syncRate);
  printGoal("lines dropped at 100,000/s from 2 threads, none", static_cast<double>(o.dropped),
            o.dropped == 0);
  fs::remove_all(scratch);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scratch =
      argc > 1 ? argv[1] : (fs::temp_directory_path() / "ostrane-bench").string();
  std::fprintf(stderr,
               "QLog vs spdlog's asynchronous and synchronous rotating loggers, 50 MiB files\n"
               "burst: %d calls; paced: %d calls; lines/s counts lines on disk\n",
               kBurstLines, kPacedThreads * kPacedLinesPerTick * kPacedTicks);
  int status = 0;
  for (const bool shipped : {false, true}) {
    const std::size_t slots = shipped ? kShippedSlots : kEnlargedSlots;
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
      // Standard output carries the file logger's search notes; the table goes to stderr.
      if (!std::freopen("/dev/null", "w", stdout)) _exit(1);
      const int code = measure(scratch + (shipped ? "/shipped" : "/enlarged"), slots, shipped);
      std::fflush(stderr);
      _exit(code);
    }
    int wstatus = 0;
    if (child < 0 || waitpid(child, &wstatus, 0) != child || !WIFEXITED(wstatus) ||
        WEXITSTATUS(wstatus) != 0) {
      std::fprintf(stderr, "  a logger lost lines it must not lose, or the run failed\n");
      status = 1;
    }
  }
  return status;
}
