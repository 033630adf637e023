// Compaction: when a new file starts, this program's log files older than the age limit go;
// other entries, the current file and every file this process made stay.

#include "DirScan.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::ManualClock;
using test::TempDir;

constexpr std::int64_t kSecond = 1000000000;
constexpr std::int64_t kLimit = QFileLogConfig::kDefaultLimitFileInterval;

struct AgeCase {
    const char* name;
    std::int64_t clockMinusCreation; // nanoseconds
    bool kept;
};

class CompactionAge : public ::testing::TestWithParam<AgeCase> {};

TEST_P(CompactionAge, RemovesOnlyEntriesOlderThanTheLimit) {
    TempDir dir;
    const std::string logDir = dir / "QLogs";
    fs::create_directories(logDir);
    const std::string entry = logDir + "/VexhalTools_2024-03-01 00:00:00_0.log";
    test::writeFile(entry, "a log of an earlier run");
    const auto created = detail::creationTimeNs(entry);
    ASSERT_TRUE(created.has_value());
    ManualClock::installNs(*created + GetParam().clockMinusCreation);

    QFileLogger logger(std::make_shared<QFileLogConfig>(logDir));
    logger.write("starts a new file, then compacts");
    EXPECT_EQ(fs::exists(entry), GetParam().kept);
    EXPECT_EQ(test::fileNames(logDir).size(), GetParam().kept ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompactionAge,
    ::testing::Values(AgeCase{"ExactlyTheLimit", kLimit * kSecond, true},
                      AgeCase{"FractionBelowTheNextSecond", kLimit * kSecond + kSecond - 1, true},
                      AgeCase{"OneSecondOlder", (kLimit + 1) * kSecond, false},
                      AgeCase{"Young", 5 * kSecond, true},
                      AgeCase{"FutureByTheLimit", -kLimit * kSecond, true},
                      AgeCase{"FutureBeyondTheLimit", -(kLimit + 1) * kSecond, false},
                      AgeCase{"BeyondThirtyTwoBits", std::int64_t{1} << 62, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Compaction, NegativeLimitRemovesOnlyThisProgramsLogFilesOfEarlierRuns) {
    TempDir dir;
    const std::string logDir = dir / "QLogs";
    const std::vector<std::string> others{"keep-me/notes.txt", "notes.txt", ".hidden",
                                          "Other_2020-01-01 00:00:00_0.log", "VexhalTools_2020-01-01 00:00:00_0.log.bak",
                                          "sub/VexhalTools_2020-01-01 00:00:00_0.log"};
    fs::create_directories(logDir + "/keep-me");
    fs::create_directories(logDir + "/sub");
    fs::create_directories(logDir + "/VexhalTools_2020-01-02 00:00:00_0.log"); // a directory, not a log
    for (const auto& name : others) test::writeFile(logDir + "/" + name, "x");
    test::writeFile(logDir + "/VexhalTools_2020-01-01 00:00:00_0.log", "old\n");
    ManualClock::install(test::localTime(2024, 3, 5, 9, 0, 1));
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

} // namespace
} // namespace ostrane
