// Files and rotation: the rotating and the debug file handlers, their names and folders, and
// folders or disks that refuse writing.

#include "AppDirs.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using namespace test;
using Names = std::vector<std::string>;

// The file holds `before`, then a warning that `lost` (count and reason) lines were lost, then
// the line written once writing worked again.
void expectLoss(const std::string& path, const Names& before, const std::string& lost,
                const std::string& after) {
  const Names lines = readLines(path);
  ASSERT_EQ(lines.size(), before.size() + 2) << path;
  EXPECT_EQ(Names(lines.begin(), lines.end() - 2), before);
  EXPECT_NE(lines.end()[-2].find("[warn]: " + lost + " ["), std::string::npos) << lines.end()[-2];
  EXPECT_EQ(lines.back(), after);
}

class FileLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ManualClock::install("2024-03-05 09:00:01");
    // Files here are born at the real time, far from the test clock: keep compaction out.
    config->setLimitFileInterval(std::numeric_limits<std::int64_t>::max());
  }
  // The path of this program's log file started at `stamp` ("yyyy-MM-dd HH:mm:ss_slice").
  std::string log(const std::string& stamp) const {
    return logDir + "/VexhalTools_" + stamp + ".log";
  }

  TempDir dir;
  const std::string logDir = dir / "QLogs";
  std::shared_ptr<QFileLogConfig> config = std::make_shared<QFileLogConfig>(logDir);
  std::shared_ptr<QFileLogger> logger = std::make_shared<QFileLogger>(config);
};

TEST_F(FileLoggerTest, SizeLimitIsCheckedBeforeEachLine) {
  config->setLimitFileSize(100);
  logger->write(std::nullopt);
  logger->write(std::string(97, 'a'));  // 99 bytes: one below the limit
  ManualClock::advance(5);
  logger->write("crosses the limit");
  EXPECT_EQ(fileNames(logDir), Names{"VexhalTools_2024-03-05 09:00:01_0.log"});
  ManualClock::advance(5);
  logger->write("next file");
  EXPECT_EQ(readLines(log("2024-03-05 09:00:01_0")),
            (Names{"", std::string(97, 'a'), "crosses the limit"}));
  EXPECT_EQ(readFile(log("2024-03-05 09:00:11_1")), "next file\n");
}

TEST_F(FileLoggerTest, FirstWriteOfARunAppendsToTodaysNewestFileWithoutCheckOrCompaction) {
  fs::create_directories(logDir);
  writeFile(log("2024-03-05 08:00:00_0"), "a\n");
  writeFile(log("2024-03-05 08:30:00_1"), "b\n");
  writeFile(log("2024-03-04 23:00:00_0"), "yesterday\n");
  config->setLimitFileInterval(-1);  // a compaction pass would remove every other file
  config->setLimitFileSize(1);
  logger->write("appended");
  EXPECT_EQ(readFile(log("2024-03-05 08:30:00_1")), "b\nappended\n");
  EXPECT_EQ(fileNames(logDir).size(), 3u);
  logger->write("rotates");
  EXPECT_EQ(readFile(log("2024-03-05 09:00:01_2")), "rotates\n");
}

// Each search for today's file says so on stdout, unless the host has turned that line off.
TEST_F(FileLoggerTest, SearchForTodaysFileIsPrintedUnlessTheHostTurnsItOff) {
  testing::internal::CaptureStdout();
  logger->write("printed");
  const auto quiet = std::make_shared<QFileLogger>(config);
  quiet->setConsoleListingLine(false);
  quiet->write("quiet");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "log> getCurDayLogs()\n");
}

// A directory that cannot be made: lines are dropped, retried at most once a second, and the
// first line that is written says how many were lost.
TEST_F(FileLoggerTest, UnwritableDirectoryDropsLinesAndSaysHowManyOnceWritingWorks) {
  writeFile(dir / "blocker", "a file where a directory should be");
  config->setCacheDir(dir / "blocker/QLogs");
  logger->write("dropped");
  EXPECT_FALSE(fs::exists(dir / "blocker/QLogs"));
  fs::remove(dir / "blocker");
  logger->write("still dropped");
  ManualClock::advance(1);
  logger->write("kept");
  expectLoss(dir / "blocker/QLogs/VexhalTools_2024-03-05 09:00:02_0.log", {},
             "2 lines lost: Not a directory", "kept");
}

TEST_F(FileLoggerTest, AFullFileSystemDropsWholeLinesAndSaysHowManyOnceWritingWorks) {
  logger->write(std::string(99, 'a'));
  // From here on the file may grow by 50 bytes: each write stops half-way through its line
  // and then fails as on a full disk. SIGXFSZ is left at its default, which ends the process.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = 150;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  logger->write(std::string(99, 'x'));
  logger->write(std::string(99, 'y'));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  logger->write("b");
  expectLoss(log("2024-03-05 09:00:01_0"), {std::string(99, 'a')}, "2 lines lost: File too large",
             "b");
}

TEST_F(FileLoggerTest, DeletingTheDirectoryDuringABurstLosesNoLines) {
  // About 100 KB of buffered lines: the 64 KiB buffer fills once after the directory has gone.
  for (int i = 0; i < 1000; ++i) {
    if (i == 100) fs::remove_all(logDir);
    logger->log(std::to_string(i) + std::string(96, '.'));
  }
  logger->flush();
  std::size_t found = 0;
  for (const auto& name : fileNames(logDir)) found += readLines(logDir + "/" + name).size();
  EXPECT_EQ(found, 1000u);
}

TEST_F(FileLoggerTest, DisplayNameIsOneSafePathComponent) {
  setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
  for (const auto& [displayName, component] :
       {std::pair{"../../escape", ".._.._escape"}, std::pair{"..", "__"}}) {
    detail::registerDisplayName(displayName);
    EXPECT_EQ(QFileLogConfig().cacheDir(), dir / (std::string(component) + "/QLogs"));
    config->setCacheDir(dir / component);
    QFileLogger(config).write("line");
    EXPECT_EQ(fileNames(dir / component),
              Names{std::string(component) + "_2024-03-05 09:00:01_0.log"});
  }
  detail::registerDisplayName("VexhalTools");
  unsetenv("XDG_CACHE_HOME");
}

TEST(DebugFileLogger, EachHandlerKeepsOneFileNamedByItsFirstWrite) {
  TempDir dir;
  const std::string debugDir = dir / "QDebugLogs";
  ManualClock::install("2024-03-05 09:00:01");
  auto first = std::make_shared<QDebugFileLogger>(debugDir);
  QDebugFileLogger second(debugDir);  // started in the same second: a file of its own
  first->writeDebug("one");
  second.writeDebug("second");
  ManualClock::advance(90000);  // a day later: still the same file
  QLogger logger;
  logger.add(first);
  logger.error(Tag{"UVC"}, "brightness", 128);
  flushLogQueue();

  EXPECT_EQ(fileNames(debugDir), (Names{"2024-03-05 09:00:01.log", "2024-03-05 09:00:01_1.log"}));
  const auto lines = readLines(debugDir + "/2024-03-05 09:00:01.log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1].rfind("[2024-03-06 10:00:01.000] [error] [UVC]: brightness 128 [", 0), 0u)
      << lines[1];
  EXPECT_EQ(readFile(debugDir + "/2024-03-05 09:00:01_1.log"), "second\n");
}

TEST(CacheDirectory, IsInTheApplicationCacheOrAPrivateTemporaryOne) {
  TempDir dir;
  unsetenv("XDG_CACHE_HOME");
  setenv("HOME", dir.path().c_str(), 1);
  EXPECT_EQ(QFileLogConfig().cacheDir(), dir / ".cache/VexhalTools/QLogs");

  // Without any home the caches go under /tmp: only into a directory that is the user's own.
  for (const char* row :
       {"missing", "own", "link", "writable by others", "owned by someone else"}) {
    SCOPED_TRACE(row);
    TempDir root;
    const std::string wanted = root / ("VexhalTools-" + std::to_string(getuid()));
    const std::string kind = row;
    if (kind == "own") mkdir(wanted.c_str(), 0755);
    if (kind == "link") fs::create_directory_symlink(root.path(), wanted);
    if (kind == "writable by others") {
      mkdir(wanted.c_str(), 0700);
      chmod(wanted.c_str(), 0777);
    }
    if (kind == "owned by someone else" &&
        (geteuid() != 0 || mkdir(wanted.c_str(), 0700) || chown(wanted.c_str(), 65534, 65534)))
      continue;  // giving a directory away needs root
    const std::string got = detail::privateTempDirectory(root.path(), "VexhalTools");
    struct stat st {};
    ASSERT_EQ(lstat(got.c_str(), &st), 0) << got;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << got;
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & (S_IWGRP | S_IWOTH), 0u);
    const bool kept = kind == "missing" || kind == "own";
    EXPECT_EQ(kept ? got : got.substr(0, wanted.size() + 1), kept ? wanted : wanted + "-");
    EXPECT_EQ(detail::privateTempDirectory(root.path(), "VexhalTools"),
              got);  // the same for the whole run
  }
}

}  // namespace
}  // namespace ostrane
