// The rotating file handler: file names, adopting today's file, rotation by size and by day,
// and a directory that cannot be written or disappears.

#include "LogFileName.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <limits>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::fileNames;
using test::ManualClock;
using test::readFile;
using test::readLines;
using test::TempDir;

class FileLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
        config = std::make_shared<QFileLogConfig>(dir / "QLogs");
        // Files here are born at the real time, far from the test clock: keep compaction out.
        config->setLimitFileInterval(std::numeric_limits<std::int64_t>::max());
        logger = std::make_shared<QFileLogger>(config);
    }
    std::string logDir() const { return dir / "QLogs"; }
    std::string logPath(const std::string& name) const { return logDir() + "/" + name; }

    TempDir dir;
    std::shared_ptr<QFileLogConfig> config;
    std::shared_ptr<QFileLogger> logger;
};

TEST_F(FileLoggerTest, FirstWriteCreatesTheDirectoryAndSliceZero) {
    logger->write("first line");
    EXPECT_EQ(fileNames(logDir()), std::vector<std::string>{"VexhalTools_2024-03-05 09:00:01_0.log"});
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 09:00:01_0.log")), "first line\n");
    logger->write(std::nullopt);
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 09:00:01_0.log")), "first line\n\n");
}

TEST_F(FileLoggerTest, FirstWriteOfARunAppendsToTodaysNewestFileWithoutCompaction) {
    fs::create_directories(logDir());
    test::writeFile(logPath("VexhalTools_2024-03-05 08:00:00_0.log"), "a\n");
    test::writeFile(logPath("VexhalTools_2024-03-05 08:30:00_1.log"), "b\n");
    test::writeFile(logPath("VexhalTools_2024-03-04 23:00:00_0.log"), "yesterday\n");
    config->setLimitFileInterval(-1); // a compaction pass would remove every other file
    logger->write("appended");
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 08:30:00_1.log")), "b\nappended\n");
    EXPECT_EQ(fileNames(logDir()).size(), 3u);
}

TEST_F(FileLoggerTest, SizeLimitIsCheckedBeforeEachLine) {
    config->setLimitFileSize(100);
    logger->write(std::string(98, 'a')); // 99 bytes: one below the limit
    ManualClock::advance(5);
    logger->write("crosses the limit");
    EXPECT_EQ(fileNames(logDir()).size(), 1u);
    ManualClock::advance(5);
    logger->write("next file");
    EXPECT_EQ(fileNames(logDir()), (std::vector<std::string>{"VexhalTools_2024-03-05 09:00:01_0.log",
                                                             "VexhalTools_2024-03-05 09:00:11_1.log"}));
    EXPECT_EQ(readLines(logPath("VexhalTools_2024-03-05 09:00:01_0.log")).back(), "crosses the limit");
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 09:00:11_1.log")), "next file\n");
}

TEST_F(FileLoggerTest, RenamedCurrentFileCountsAsSliceZero) {
    fs::create_directories(logDir());
    test::writeFile(logPath("VexhalTools_2024-03-05 08:00:00_renamed.log"), std::string(10, 'x'));
    config->setLimitFileSize(10);
    logger->write("adopted: no size check on the first write");
    logger->write("rotates");
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 09:00:01_1.log")), "rotates\n");
}

TEST_F(FileLoggerTest, ChangeOfDayStartsSliceZeroOfTheNewDay) {
    ManualClock::install(test::localTime(2024, 3, 5, 23, 59, 59));
    config->setLimitFileSize(1); // the old file's slice must not carry over
    logger->write("before midnight");
    ManualClock::advance(2);
    logger->write("after midnight");
    EXPECT_EQ(fileNames(logDir()), (std::vector<std::string>{"VexhalTools_2024-03-05 23:59:59_0.log",
                                                             "VexhalTools_2024-03-06 00:00:01_0.log"}));
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-06 00:00:01_0.log")), "after midnight\n");
}

TEST_F(FileLoggerTest, ChangeOfDayAdoptsAnExistingFileOfTheNewDay) {
    ManualClock::install(test::localTime(2024, 3, 5, 23, 59, 59));
    logger->write("before midnight");
    test::writeFile(logPath("VexhalTools_2024-03-06 00:00:00_3.log"), "other run\n");
    ManualClock::advance(2);
    logger->write("after midnight");
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-06 00:00:00_3.log")), "other run\nafter midnight\n");
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 23:59:59_0.log")), "before midnight\n");
}

TEST_F(FileLoggerTest, UnwritableDirectoryDropsLinesUntilItCanBeCreated) {
    test::writeFile(dir / "blocker", "a file where a directory should be");
    config->setCacheDir(dir / "blocker/QLogs");
    logger->write("dropped");
    EXPECT_FALSE(fs::exists(dir / "blocker/QLogs"));
    fs::remove(dir / "blocker");
    logger->write("still dropped: retried at most once a second");
    ManualClock::advance(1);
    logger->write("kept");
    const auto names = fileNames(dir / "blocker/QLogs");
    ASSERT_EQ(names.size(), 1u);
    const auto lines = readLines(dir / "blocker/QLogs/" + names[0]);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[warn]: 2 lines lost: Not a directory ["), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "kept");
}

TEST_F(FileLoggerTest, UnwritableDirectoryAtAChangeOfDayIsReportedOnceWritingWorks) {
    ManualClock::install(test::localTime(2024, 3, 5, 23, 59, 59));
    logger->write("before midnight");
    fs::remove_all(logDir());
    test::writeFile(logDir(), "a file where the directory was");
    ManualClock::advance(2);
    logger->write("lost");
    fs::remove(logDir());
    ManualClock::advance(1);
    logger->write("after");
    const auto lines = readLines(logPath("VexhalTools_2024-03-06 00:00:02_0.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[warn]: 1 lines lost: Not a directory ["), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "after");
}

TEST_F(FileLoggerTest, DeletedDirectoryIsRecreatedAndLoggingGoesOn) {
    logger->write("one");
    fs::remove_all(logDir());
    ManualClock::advance(3);
    logger->write("two");
    EXPECT_EQ(fileNames(logDir()), std::vector<std::string>{"VexhalTools_2024-03-05 09:00:04_0.log"});
    EXPECT_EQ(readFile(logPath("VexhalTools_2024-03-05 09:00:04_0.log")), "two\n");
}

TEST_F(FileLoggerTest, AFullFileSystemDropsWholeLinesAndSaysHowManyOnceWritingWorks) {
    const std::string a(99, 'a');
    logger->write(a);
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
    const auto lines = readLines(logPath("VexhalTools_2024-03-05 09:00:01_0.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], a);
    EXPECT_NE(lines[1].find("[warn]: 2 lines lost: File too large ["), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "b");
}

TEST_F(FileLoggerTest, DeletingTheDirectoryDuringABurstLosesNoLines) {
    // About 100 KB of lines buffered as through a logger: the 64 KiB buffer fills once after
    // the directory has gone.
    constexpr int kLines = 1000;
    for (int i = 0; i < kLines; ++i) {
        if (i == 100) fs::remove_all(logDir());
        logger->log(std::to_string(i) + std::string(96, '.'));
    }
    logger->flush();
    std::size_t found = 0;
    for (const auto& name : fileNames(logDir())) found += readLines(logPath(name)).size();
    EXPECT_EQ(found, static_cast<std::size_t>(kLines));
}

TEST_F(FileLoggerTest, ChangedCacheDirTakesEffectForTheNextFile) {
    logger->write("old dir");
    auto other = std::make_shared<QFileLogConfig>(dir / "Other");
    other->setLimitFileInterval(std::numeric_limits<std::int64_t>::max());
    other->setLimitFileSize(1);
    logger->setLogConfig(other);
    EXPECT_EQ(logger->getLogConfig(), other);
    ManualClock::advance(1);
    logger->write("new dir");
    EXPECT_EQ(readFile(dir / "Other/VexhalTools_2024-03-05 09:00:02_1.log"), "new dir\n");
}

TEST_F(FileLoggerTest, LinesThroughALoggerReachTheFile) {
    QLogger log;
    log.add(logger);
    log.warn("via queue", 1);
    flushLogQueue();
    const auto lines = readLines(logPath("VexhalTools_2024-03-05 09:00:01_0.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[2024-03-05 09:00:01.000] [warn]: via queue 1 ["), std::string::npos) << lines[0];
}

struct NameCase {
    const char* name;
    const char* displayName;
    const char* component;
};

class DisplayNameInPaths : public FileLoggerTest, public ::testing::WithParamInterface<NameCase> {
protected:
    void TearDown() override {
        detail::registerDisplayName("VexhalTools");
        unsetenv("XDG_CACHE_HOME");
    }
};

TEST_P(DisplayNameInPaths, IsOneSafePathComponent) {
    detail::registerDisplayName(GetParam().displayName);
    setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(QFileLogConfig().cacheDir(), dir / (std::string(GetParam().component) + "/QLogs"));
    logger->write("line");
    EXPECT_EQ(fileNames(logDir()),
              std::vector<std::string>{std::string(GetParam().component) + "_2024-03-05 09:00:01_0.log"});
}

INSTANTIATE_TEST_SUITE_P(Cases, DisplayNameInPaths,
                         ::testing::Values(NameCase{"Parent", "../../escape", ".._.._escape"},
                                           NameCase{"Slash", "a/b", "a_b"}, NameCase{"DotDot", "..", "__"},
                                           NameCase{"ControlCharacter", "tab\there", "tab_here"}),
                         [](const auto& param) { return std::string(param.param.name); });

struct SliceCase {
    const char* path;
    std::int64_t slice;
};

class SliceOfName : public ::testing::TestWithParam<SliceCase> {};

TEST_P(SliceOfName, ReadsTheLastUnderscorePiece) {
    EXPECT_EQ(detail::sliceOfLogFileName(GetParam().path), GetParam().slice) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SliceOfName,
    ::testing::Values(SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_0.log", 0},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_17.log", 17},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_-3.log", -3},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_+4.log", 4},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_renamed.log", 0},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_.log", 0},
                      SliceCase{"/d/VexhalTools_2024-03-05 09:00:01_7", 7},
                      SliceCase{"/d/VexhalTools_1_2.tar.log", 0}, SliceCase{"/d/42.log", 0}, SliceCase{"42.log", 42},
                      SliceCase{"/d.x/a_5", 5}, SliceCase{"/d/a_5x.log", 0}, SliceCase{"/d/a_+-5.log", 0},
                      SliceCase{"/d/a_ 5.log", 0}, SliceCase{"/d/a_99999999999999999999.log", 0},
                      SliceCase{"", 0}));

} // namespace
} // namespace ostrane
