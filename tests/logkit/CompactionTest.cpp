// Compaction and listing of the log folder: when a new file starts, this program's log files
// older than the age limit go (other entries, the current file and this process's files stay);
// listings run their completions through the main-thread poster when one is set.

#include "DirScan.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

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
  } rows[] = {{"FractionBelowTheNextSecond", kLimit * kSecond + kSecond - 1, true},
              {"OneSecondOlder", (kLimit + 1) * kSecond, false},
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

TEST(Listing, CompletionsRunThroughTheMainThreadPoster) {
  TempDir dir;
  const std::string logDir = dir / "QLogs";
  fs::create_directories(logDir + "/sub");
  test::writeFile(logDir + "/first.log", "1");
  test::writeFile(logDir + "/sub/second.log", "2");
  QFileLogger logger(std::make_shared<QFileLogConfig>(logDir));
  std::promise<std::function<void()>> posted;
  setMainThreadPoster([&posted](std::function<void()> task) { posted.set_value(std::move(task)); });
  std::vector<std::string> names;
  logger.getLogList([&](std::vector<QlogFileModel> list) {
    for (const auto& model : list) {
      names.push_back(model.fileName);
      EXPECT_EQ(model.filePath, logDir + "/" + model.fileName);
    }
  });
  auto task = posted.get_future();
  const auto status = task.wait_for(std::chrono::seconds(30));
  setMainThreadPoster(nullptr);
  ASSERT_EQ(status, std::future_status::ready);
  EXPECT_TRUE(names.empty());
  task.get()();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"first.log", "sub", "sub/second.log"}));
}

}  // namespace
}  // namespace ostrane
