// QLog against spdlog's asynchronous logger, in one run, writing the same line to a rotating
// file (50 MiB files):
//   [date] [debug]: CameraList, refreshCameraList <n> front [tid] [pid] [file:line] [function]
// 1. caller side: nanoseconds per call (median, p99) with 1 and 2 producer threads;
// 2. throughput: lines per second from the first call until every line is in the file.
// 1,000,000 lines per measurement. Both queues hold all lines (1 Mi slots), so neither logger
// blocks nor drops and the caller figures show the cost of the call itself.
//
//   ostrane_vs_spdlog [scratch dir]

#include "LogQueue.h"

#include <ostrane/ostrane.h>

#include <spdlog/async.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1000000;
constexpr std::size_t kQueueSlots = 1 << 20;
constexpr std::size_t kFileSize = 52428800;

struct Latency {
  double median = 0;
  double p99 = 0;
};

std::int64_t nanosSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// Lines in every file of a directory that contain the benchmark's text.
std::size_t countLines(const std::string& dir) {
  std::size_t n = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);)
      n += line.find("refreshCameraList") != std::string::npos;
  }
  return n;
}

// Runs `producers` threads that together make kLines calls of `call`; returns every call's
// duration when `timed`, else nothing.
template <typename Call>
std::vector<std::int64_t> produce(int producers, bool timed, Call call) {
  const int perThread = kLines / producers;
  std::vector<std::vector<std::int64_t>> samples(static_cast<std::size_t>(producers));
  std::vector<std::thread> threads;
  for (int p = 0; p < producers; ++p) {
    threads.emplace_back([&, p] {
      auto& mine = samples[static_cast<std::size_t>(p)];
      if (timed) mine.reserve(static_cast<std::size_t>(perThread));
      for (int i = 0; i < perThread; ++i) {
        if (timed) {
          const auto start = Clock::now();
          call(i);
          mine.push_back(nanosSince(start));
        } else {
          call(i);
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  std::vector<std::int64_t> all;
  for (auto& s : samples) all.insert(all.end(), s.begin(), s.end());
  return all;
}

Latency summarize(std::vector<std::int64_t> ns) {
  std::sort(ns.begin(), ns.end());
  return {static_cast<double>(ns[ns.size() / 2]), static_cast<double>(ns[ns.size() * 99 / 100])};
}

struct Result {
  std::vector<std::int64_t> samples;
  double seconds = 0;
  std::size_t linesOnDisk = 0;
};

Result runOstrane(const std::string& dir, int producers, bool timed) {
  fs::remove_all(dir);
  auto config = std::make_shared<ostrane::QFileLogConfig>(dir);
  config->setLimitFileSize(kFileSize);
  ostrane::QLogger logger;
  logger.add(std::make_shared<ostrane::QFileLogger>(config));
  ostrane::setDdLog(logger);
  const std::string name = "front";
  const auto start = Clock::now();
  Result r;
  r.samples =
      produce(producers, timed, [&](int i) { QLog("CameraList, refreshCameraList", i, name); });
  ostrane::flushLogQueue();
  r.seconds = static_cast<double>(nanosSince(start)) / 1e9;
  ostrane::setDdLog(ostrane::QLogger());
  r.linesOnDisk = countLines(dir);
  return r;
}

Result runSpdlog(const std::string& dir, int producers, bool timed) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  spdlog::init_thread_pool(kQueueSlots, 1);
  auto sink =
      std::make_shared<spdlog::sinks::rotating_file_sink_st>(dir + "/spdlog.log", kFileSize, 1000);
  auto logger = std::make_shared<spdlog::async_logger>("bench", sink, spdlog::thread_pool(),
                                                       spdlog::async_overflow_policy::block);
  logger->set_level(spdlog::level::trace);
  // The process id goes into the pattern once instead of being looked up per line.
  logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l]: %v [%t] [" + std::to_string(getpid()) +
                      "] [%s:%#] [%!]");
  const std::string name = "front";
  const auto start = Clock::now();
  Result r;
  r.samples = produce(producers, timed, [&](int i) {
    const auto here = std::source_location::current();
    logger->log(
        spdlog::source_loc{here.file_name(), static_cast<int>(here.line()), here.function_name()},
        spdlog::level::debug, "CameraList, refreshCameraList {} {}", i, name);
  });
  // Dropping the logger and the pool drains the queue and closes the file.
  logger.reset();
  sink.reset();
  spdlog::shutdown();
  r.seconds = static_cast<double>(nanosSince(start)) / 1e9;
  r.linesOnDisk = countLines(dir);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scratch =
      argc > 1 ? argv[1] : (fs::temp_directory_path() / "ostrane-bench").string();
  ostrane::detail::LogQueue::setCapacityForTesting(kQueueSlots);
  // Standard output carries the file logger's search notes; the summary goes to stderr.
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  std::FILE* out = stderr;
  std::fprintf(out,
               "QLog vs spdlog async logger, %d lines per measurement, rotating 50 MiB files\n",
               kLines);

  // Warm both once (thread start-up, first file), then measure.
  runOstrane(scratch + "/ostrane", 1, false);
  runSpdlog(scratch + "/spdlog", 1, false);

  std::fprintf(out, "\ncaller ns per call      %12s %12s %12s %12s\n", "ostrane med", "spdlog med",
               "ostrane p99", "spdlog p99");
  for (int producers : {1, 2}) {
    const Latency o = summarize(runOstrane(scratch + "/ostrane", producers, true).samples);
    const Latency s = summarize(runSpdlog(scratch + "/spdlog", producers, true).samples);
    std::fprintf(out,
                 "  %d producer%s            %12.0f %12.0f %12.0f %12.0f   median ratio %.2f, p99 "
                 "ratio %.2f\n",
                 producers, producers == 1 ? " " : "s", o.median, s.median, o.p99, s.p99,
                 o.median / s.median, o.p99 / s.p99);
  }

  std::fprintf(out, "\nlines per second until all are on disk (1 producer)\n");
  const Result o = runOstrane(scratch + "/ostrane", 1, false);
  const Result s = runSpdlog(scratch + "/spdlog", 1, false);
  const double oRate = kLines / o.seconds;
  const double sRate = kLines / s.seconds;
  std::fprintf(out, "  ostrane %12.0f lines/s (%zu lines on disk)\n", oRate, o.linesOnDisk);
  std::fprintf(out, "  spdlog  %12.0f lines/s (%zu lines on disk)\n", sRate, s.linesOnDisk);
  std::fprintf(out, "  ratio ostrane/spdlog %.2f (above 1 is faster)\n", oRate / sRate);
  std::fprintf(out, "\nratios below 1 for ns per call mean QLog is faster\n");
  fs::remove_all(scratch);
  return o.linesOnDisk == static_cast<std::size_t>(kLines) &&
                 s.linesOnDisk == static_cast<std::size_t>(kLines)
             ? 0
             : 1;
}
