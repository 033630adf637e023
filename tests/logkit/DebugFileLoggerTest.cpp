// The debug file handler: one file per handler, named by its first line.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include "AppDirs.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::ManualClock;
using test::TempDir;

TEST(DebugFileLogger, AllLinesGoToOneFileNamedByTheFirstWrite) {
    TempDir dir;
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
    QDebugFileLogger logger(dir / "QDebugLogs");
    logger.writeDebug("one");
    ManualClock::advance(90000); // a day later: still the same file
    logger.writeDebug("two");
    logger.writeDebug(std::nullopt);
    EXPECT_EQ(test::fileNames(dir / "QDebugLogs"), std::vector<std::string>{"2024-03-05 09:00:01.log"});
    EXPECT_EQ(test::readFile(dir / "QDebugLogs/2024-03-05 09:00:01.log"), "one\ntwo\n\n");
}

TEST(DebugFileLogger, ANewHandlerStartsAFreshFileAndOneThatNeverWritesLeavesNoTrace) {
    TempDir dir;
    { QDebugFileLogger idle(dir / "QDebugLogs"); }
    EXPECT_FALSE(fs::exists(dir / "QDebugLogs"));
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
    QDebugFileLogger(dir / "QDebugLogs").writeDebug("first run");
    ManualClock::advance(1);
    QDebugFileLogger(dir / "QDebugLogs").writeDebug("second run");
    EXPECT_EQ(test::fileNames(dir / "QDebugLogs"),
              (std::vector<std::string>{"2024-03-05 09:00:01.log", "2024-03-05 09:00:02.log"}));
    EXPECT_EQ(test::readFile(dir / "QDebugLogs/2024-03-05 09:00:02.log"), "second run\n");
}

TEST(DebugFileLogger, HandlersStartedInTheSameSecondKeepTheirOwnFiles) {
    TempDir dir;
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
    QDebugFileLogger first(dir / "QDebugLogs");
    QDebugFileLogger second(dir / "QDebugLogs");
    first.writeDebug("first");
    second.writeDebug("second");
    first.writeDebug("first again");
    EXPECT_EQ(test::readFile(dir / "QDebugLogs/2024-03-05 09:00:01.log"), "first\nfirst again\n");
    EXPECT_EQ(test::readFile(dir / "QDebugLogs/2024-03-05 09:00:01_1.log"), "second\n");
}

TEST(DebugFileLogger, LinesThroughALoggerAreFormatted) {
    TempDir dir;
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
    auto handler = std::make_shared<QDebugFileLogger>(dir / "QDebugLogs");
    QLogger logger;
    logger.add(handler);
    logger.error(Tag{"UVC"}, "brightness", 128);
    flushLogQueue();
    const auto lines = test::readLines(dir / "QDebugLogs/2024-03-05 09:00:01.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("[2024-03-05 09:00:01.000] [error] [UVC]: brightness 128 [", 0), 0u) << lines[0];
}

TEST(DebugFileLogger, UnwritableDirectoryDropsLinesAndRecovers) {
    TempDir dir;
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
    test::writeFile(dir / "blocker", "x");
    QDebugFileLogger logger(dir / "blocker/QDebugLogs");
    logger.writeDebug("dropped");
    fs::remove(dir / "blocker");
    ManualClock::advance(1);
    logger.writeDebug("kept");
    const auto lines = test::readLines(dir / "blocker/QDebugLogs/2024-03-05 09:00:02.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("[warn]: 1 lines lost: Not a directory ["), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "kept");
}

TEST(DebugFileLogger, DefaultDirectoryIsInTheApplicationCache) {
    TempDir dir;
    setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(QDebugFileLogger().debugDirPath(), dir / "VexhalTools/QDebugLogs");
    EXPECT_EQ(QFileLogConfig().cacheDir(), dir / "VexhalTools/QLogs");
    unsetenv("XDG_CACHE_HOME");
    setenv("HOME", dir.path().c_str(), 1);
    EXPECT_EQ(QFileLogConfig().cacheDir(), dir / ".cache/VexhalTools/QLogs");
}

// Without any home, the caches go under /tmp: only into a directory that is the user's own.
struct FallbackCase {
    const char* name;
    void (*prepare)(const std::string& wanted, const std::string& root);
    bool kept;
};

class FallbackCacheDirectory : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(FallbackCacheDirectory, IsAPrivateDirectoryOfTheUser) {
    TempDir root;
    const std::string wanted = root / ("VexhalTools-" + std::to_string(getuid()));
    GetParam().prepare(wanted, root.path());
    if (HasFatalFailure() || IsSkipped()) return;
    const std::string got = detail::privateTempDirectory(root.path(), "VexhalTools");
    struct stat st {};
    ASSERT_EQ(lstat(got.c_str(), &st), 0) << got;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << got;
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(st.st_mode & (S_IWGRP | S_IWOTH), 0u);
    if (GetParam().kept) EXPECT_EQ(got, wanted);
    else EXPECT_EQ(got.rfind(wanted + "-", 0), 0u) << got;
    EXPECT_EQ(detail::privateTempDirectory(root.path(), "VexhalTools"), got); // the same for the whole run
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FallbackCacheDirectory,
    ::testing::Values(
        FallbackCase{"Missing", [](const std::string&, const std::string&) {}, true},
        FallbackCase{"OwnDirectory", [](const std::string& wanted, const std::string&) { mkdir(wanted.c_str(), 0755); },
                     true},
        FallbackCase{"Link",
                     [](const std::string& wanted, const std::string& root) {
                         fs::create_directories(root + "/elsewhere");
                         fs::create_directory_symlink(root + "/elsewhere", wanted);
                     },
                     false},
        FallbackCase{"WritableByOthers",
                     [](const std::string& wanted, const std::string&) {
                         mkdir(wanted.c_str(), 0700);
                         chmod(wanted.c_str(), 0777);
                     },
                     false},
        FallbackCase{"OwnedBySomeoneElse",
                     [](const std::string& wanted, const std::string&) {
                         mkdir(wanted.c_str(), 0700);
                         if (chown(wanted.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a directory away";
                     },
                     false}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace ostrane
