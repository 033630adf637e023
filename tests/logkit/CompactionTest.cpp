// Compaction and listing of the log folder: when a new file starts, this program's log files
// older than the age limit go (other entries, the current file and this process's files stay);
// listings come newest first, through the main-thread poster when one is set.

#include "DirScan.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <pthread.h>
#include <thread>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::ManualClock;
using test::TempDir;

TEST(Compaction, RemovesOnlyEntriesOlderThanTheLimit) {
  constexpr std::int64_t kSecond = 1000000000;
  constexpr std::int64_t kLimit = QFileLogConfig::kDefaultLimitFileInterval;
  const struct {
    const char* name;
    std::int64_t clockMinusCreation;  // nanoseconds
    bool kept;
  } rows[] = {{"ExactlyTheLimit", kLimit * kSecond, true},
              {"FractionBelowTheNextSecond", kLimit * kSecond + kSecond - 1, true},
              {"OneSecondOlder", (kLimit + 1) * kSecond, false},
              {"Young", 5 * kSecond, true},
              {"FutureByTheLimit", -kLimit * kSecond, true},
              {"FutureBeyondTheLimit", -(kLimit + 1) * kSecond, false},
              {"BeyondThirtyTwoBits", std::int64_t{1} << 62, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string logDir = dir / "QLogs";
    fs::create_directories(logDir);
    const std::string entry = logDir + "/VexhalTools_2024-03-01 00:00:00_0.log";
    test::writeFile(entry, "a log of an earlier run");
    const auto created = detail::creationTimeNs(entry);
    ASSERT_TRUE(created.has_value());
    ManualClock::installNs(*created + row.clockMinusCreation);
    QFileLogger(std::make_shared<QFileLogConfig>(logDir)).write("starts a new file, then compacts");
    EXPECT_EQ(fs::exists(entry), row.kept);
    EXPECT_EQ(test::fileNames(logDir).size(), row.kept ? 2u : 1u);
  }
}

TEST(Compaction, NegativeLimitRemovesOnlyThisProgramsLogFilesOfEarlierRuns) {
  TempDir dir;
  const std::string logDir = dir / "QLogs";
  const std::vector<std::string> others{"keep-me/notes.txt",
                                        "notes.txt",
                                        ".hidden",
                                        "Other_2020-01-01 00:00:00_0.log",
                                        "VexhalTools_2020-01-01 00:00:00_0.log.bak",
                                        "sub/VexhalTools_2020-01-01 00:00:00_0.log"};
  fs::create_directories(logDir + "/keep-me");
  fs::create_directories(logDir + "/sub");
  fs::create_directories(logDir +
                         "/VexhalTools_2020-01-02 00:00:00_0.log");  // a directory, not a log
  for (const auto& name : others) test::writeFile(logDir + "/" + name, "x");
  test::writeFile(logDir + "/VexhalTools_2020-01-01 00:00:00_0.log", "old\n");
  ManualClock::install("2024-03-05 09:00:01");
  auto config = std::make_shared<QFileLogConfig>(logDir);
  config->setLimitFileInterval(-1);
  config->setLimitFileSize(1);
  QFileLogger logger(config);
  logger.write("current");
  EXPECT_FALSE(fs::exists(logDir + "/VexhalTools_2020-01-01 00:00:00_0.log"));
  for (const auto& name : others) EXPECT_TRUE(fs::exists(logDir + "/" + name)) << name;
  EXPECT_TRUE(fs::is_directory(logDir + "/VexhalTools_2020-01-02 00:00:00_0.log"));

  // A rotation starts a new file; the previous one was made by this process and stays, as it
  // must when the clock has jumped days ahead.
  ManualClock::advance(1);
  logger.write("rotated");
  EXPECT_EQ(test::readFile(logDir + "/VexhalTools_2024-03-05 09:00:01_0.log"), "current\n");
  EXPECT_EQ(test::readFile(logDir + "/VexhalTools_2024-03-05 09:00:02_1.log"), "rotated\n");
}

std::vector<std::string> order(std::vector<detail::DatedEntry> entries, bool newestFirst) {
  detail::sortByCreation(entries, newestFirst);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.subpath);
  return names;
}

TEST(Listing, NewestFirstKeepsTiesAndPutsUndatedLast) {
  const std::vector<detail::DatedEntry> entries{
      {"a", 3}, {"b", 1}, {"u1", std::nullopt}, {"d", 3}, {"e", 2}, {"u2", std::nullopt}, {"f", 3}};
  EXPECT_EQ(order(entries, true), (std::vector<std::string>{"a", "d", "f", "e", "b", "u1", "u2"}));
  EXPECT_EQ(order(entries, false), (std::vector<std::string>{"b", "e", "a", "d", "f", "u1", "u2"}));
}

// Posted completions, run by the test thread as a main loop would.
struct MainLoop {
  void post(std::function<void()> task) {
    std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
    ready.notify_all();
  }
  void runOne() {
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return !tasks.empty(); });
    auto task = std::move(tasks.front());
    tasks.pop_front();
    lock.unlock();
    task();
  }
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::function<void()>> tasks;
};

TEST(Listing, CompletionsRunThroughTheMainThreadPosterOrOnTheListingThread) {
  TempDir dir;
  const std::string logDir = dir / "QLogs";
  fs::create_directories(logDir + "/sub");
  test::writeFile(logDir + "/first.log", "1");
  test::writeFile(logDir + "/sub/second.log", "2");
  QFileLogger logger(std::make_shared<QFileLogConfig>(logDir));
  MainLoop loop;
  std::vector<std::string> threads;
  std::vector<QlogFileModel> files;
  std::size_t debugFiles = 99;
  const auto threadName = [] {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof(name));
    return std::string(name);
  };
  setMainThreadPoster([&loop](std::function<void()> task) { loop.post(std::move(task)); });
  logger.getLogList([&](std::vector<QlogFileModel> list) {
    files = std::move(list);
    threads.push_back(threadName());
  });
  QDebugFileLogger debugLogger(dir / "QDebugLogs-missing");
  debugLogger.getDebugLogList([&](std::vector<QlogFileModel> list) {
    debugFiles = list.size();
    threads.push_back(threadName());
  });
  loop.runOne();
  loop.runOne();
  setMainThreadPoster(nullptr);
  QFileLogger(std::make_shared<QFileLogConfig>(dir / "missing"))
      .getLogList([&](std::vector<QlogFileModel> list) {
        loop.post([&, name = threadName(), n = list.size()] {
          threads.push_back(name + " " + std::to_string(n));
        });
      });
  loop.runOne();

  EXPECT_EQ(threads, (std::vector<std::string>{threadName(), threadName(), "com.log.list 0"}));
  EXPECT_EQ(debugFiles, 0u);
  std::vector<std::string> names;
  for (const auto& model : files) {
    names.push_back(model.fileName);
    EXPECT_EQ(model.filePath, logDir + "/" + model.fileName);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"first.log", "sub", "sub/second.log"}));
}

}  // namespace
}  // namespace ostrane
