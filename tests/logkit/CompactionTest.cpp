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
        std::int64_t clockMinusCreation; // nanoseconds
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
    const std::vector<std::string> others{"keep-me/notes.txt", "notes.txt", ".hidden", "Other_2020-01-01 00:00:00_0.log",
                                          "VexhalTools_2020-01-01 00:00:00_0.log.bak",
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

std::vector<std::string> order(std::vector<detail::DatedEntry> entries, bool newestFirst) {
    detail::sortByCreation(entries, newestFirst);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.subpath);
    return names;
}

TEST(Listing, NewestFirstKeepsTiesAndPutsUndatedLastAlsoInLargeListings) {
    const std::vector<detail::DatedEntry> entries{{"a", 3}, {"b", 1}, {"u1", std::nullopt}, {"d", 3},
                                                  {"e", 2}, {"u2", std::nullopt}, {"f", 3}};
    EXPECT_EQ(order(entries, true), (std::vector<std::string>{"a", "d", "f", "e", "b", "u1", "u2"}));
    EXPECT_EQ(order(entries, false), (std::vector<std::string>{"b", "e", "a", "d", "f", "u1", "u2"}));

    std::vector<detail::DatedEntry> many; // beyond the size where sorting switches algorithm
    for (int i = 0; i < 2000; ++i)
        many.push_back({std::to_string(i), i % 7 == 0 ? std::nullopt : std::optional<std::int64_t>(i % 13)});
    const auto sorted = order(many, true);
    ASSERT_EQ(sorted.size(), many.size());
    for (std::size_t k = 1; k < sorted.size(); ++k) {
        const int p = std::stoi(sorted[k - 1]);
        const int q = std::stoi(sorted[k]);
        const auto& dp = many[static_cast<std::size_t>(p)].created;
        const auto& dq = many[static_cast<std::size_t>(q)].created;
        if (dp && dq) ASSERT_TRUE(*dp > *dq || (*dp == *dq && p < q)) << p << " before " << q;
        else ASSERT_TRUE(dp.has_value() || (!dq && p < q)) << p << " before " << q;
    }
}

// Collects posted completions so the test thread can run them, like a main loop.
class MainLoop {
public:
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ready_.notify_all();
    }
    void runOne() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !tasks_.empty(); });
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
};

TEST(Listing, CompletionsRunThroughTheMainThreadPoster) {
    TempDir dir;
    const std::string logDir = dir / "QLogs";
    fs::create_directories(logDir + "/sub");
    test::writeFile(logDir + "/first.log", "1");
    test::writeFile(logDir + "/sub/second.log", "2");
    QFileLogger logger(std::make_shared<QFileLogConfig>(logDir));
    QDebugFileLogger debugLogger(dir / "QDebugLogs-missing");

    MainLoop loop;
    setMainThreadPoster([&loop](std::function<void()> task) { loop.post(std::move(task)); });
    std::vector<QlogFileModel> files;
    std::vector<QlogFileModel> debugFiles{QlogFileModel{}};
    std::vector<std::thread::id> threads;
    logger.getLogList([&](std::vector<QlogFileModel> list) {
        files = std::move(list);
        threads.push_back(std::this_thread::get_id());
    });
    debugLogger.getDebugLogList([&](std::vector<QlogFileModel> list) {
        debugFiles = std::move(list);
        threads.push_back(std::this_thread::get_id());
    });
    loop.runOne();
    loop.runOne();
    setMainThreadPoster(nullptr);

    EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
    EXPECT_TRUE(debugFiles.empty());
    ASSERT_EQ(files.size(), 3u);
    std::vector<std::string> names;
    std::int64_t newer = INT64_MAX;
    for (const auto& model : files) {
        names.push_back(model.fileName);
        EXPECT_EQ(model.filePath, logDir + "/" + model.fileName);
        const auto created = detail::creationTimeNs(model.filePath);
        ASSERT_TRUE(created.has_value());
        EXPECT_LE(*created, newer) << model.fileName << " is newer than the entry before it";
        newer = *created;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"first.log", "sub", "sub/second.log"}));
}

TEST(Listing, WithoutAPosterCompletionsRunOnTheListingThread) {
    TempDir dir;
    QFileLogger logger(std::make_shared<QFileLogConfig>(dir / "missing"));
    MainLoop done; // the completion posts its findings here
    std::string threadName;
    std::size_t entries = 99;
    logger.getLogList([&](std::vector<QlogFileModel> list) {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        done.post([&, found = std::string(name), n = list.size()] {
            threadName = found;
            entries = n;
        });
    });
    done.runOne();
    EXPECT_EQ(threadName, "com.log.list");
    EXPECT_EQ(entries, 0u);
}

} // namespace
} // namespace ostrane
