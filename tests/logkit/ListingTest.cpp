// Directory listings: their order, and where their completions run.

#include "DirScan.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <pthread.h>
#include <thread>

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using detail::DatedEntry;

std::vector<std::string> order(std::vector<DatedEntry> entries, bool newestFirst) {
    detail::sortByCreation(entries, newestFirst);
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.subpath);
    return names;
}

TEST(ListingOrder, NewestFirstKeepsTiesAndPutsUndatedLast) {
    const std::vector<DatedEntry> entries{{"a", 3}, {"b", 1}, {"u1", std::nullopt}, {"d", 3},
                                          {"e", 2}, {"u2", std::nullopt}, {"f", 3}};
    EXPECT_EQ(order(entries, true), (std::vector<std::string>{"a", "d", "f", "e", "b", "u1", "u2"}));
    EXPECT_EQ(order(entries, false), (std::vector<std::string>{"b", "e", "a", "d", "f", "u1", "u2"}));
    EXPECT_EQ(order({{"x", std::nullopt}, {"y", std::nullopt}}, true), (std::vector<std::string>{"x", "y"}));
}

TEST(ListingOrder, ManyEntriesWithRepeatedAndMissingDatesSortConsistently) {
    std::vector<DatedEntry> entries;
    for (int i = 0; i < 2000; ++i)
        entries.push_back({std::to_string(i), i % 7 == 0 ? std::nullopt : std::optional<std::int64_t>(i % 13)});
    const auto sorted = order(entries, true);
    ASSERT_EQ(sorted.size(), entries.size());
    for (std::size_t k = 1; k < sorted.size(); ++k) {
        const int p = std::stoi(sorted[k - 1]);
        const int q = std::stoi(sorted[k]);
        const auto& dp = entries[static_cast<std::size_t>(p)].created;
        const auto& dq = entries[static_cast<std::size_t>(q)].created;
        if (dp && dq) ASSERT_TRUE(*dp > *dq || (*dp == *dq && p < q)) << p << " before " << q;
        else if (!dp && !dq) ASSERT_LT(p, q);
        else ASSERT_TRUE(dp.has_value()) << "undated " << p << " before dated " << q;
    }
}

TEST(ListingOrder, SubpathsAreRelativeAndRecursive) {
    test::TempDir dir;
    fs::create_directories(dir / "sub/deeper");
    test::writeFile(dir / "a.log", "a");
    test::writeFile(dir / "sub/deeper/b.log", "b");
    EXPECT_EQ(detail::listSubpaths(dir.path()),
              (std::vector<std::string>{"a.log", "sub", "sub/deeper", "sub/deeper/b.log"}));
    EXPECT_TRUE(detail::listSubpaths(dir / "missing").empty());
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

struct Received {
    std::vector<QlogFileModel> list;
    std::thread::id thread;
    bool done = false;
};

TEST(Listing, CompletionsRunThroughTheMainThreadPoster) {
    test::TempDir dir;
    const std::string logDir = dir / "QLogs";
    fs::create_directories(logDir + "/sub");
    test::writeFile(logDir + "/first.log", "1");
    test::writeFile(logDir + "/sub/second.log", "2");
    QFileLogger logger(std::make_shared<QFileLogConfig>(logDir));
    QDebugFileLogger debugLogger(dir / "QDebugLogs-missing");

    MainLoop loop;
    setMainThreadPoster([&loop](std::function<void()> task) { loop.post(std::move(task)); });
    Received files;
    Received debugFiles;
    logger.getLogList([&](std::vector<QlogFileModel> list) { files = {std::move(list), std::this_thread::get_id(), true}; });
    debugLogger.getDebugLogList(
        [&](std::vector<QlogFileModel> list) { debugFiles = {std::move(list), std::this_thread::get_id(), true}; });
    loop.runOne();
    loop.runOne();
    setMainThreadPoster(nullptr);

    ASSERT_TRUE(files.done);
    ASSERT_TRUE(debugFiles.done);
    EXPECT_EQ(files.thread, std::this_thread::get_id());
    EXPECT_EQ(debugFiles.thread, std::this_thread::get_id());
    EXPECT_TRUE(debugFiles.list.empty());

    ASSERT_EQ(files.list.size(), 3u);
    std::vector<std::string> names;
    std::optional<std::int64_t> newer = INT64_MAX;
    for (const auto& model : files.list) {
        names.push_back(model.fileName);
        EXPECT_EQ(model.filePath, logDir + "/" + model.fileName);
        const auto created = detail::creationTimeNs(model.filePath);
        ASSERT_TRUE(created.has_value());
        EXPECT_LE(*created, *newer) << model.fileName << " is newer than the entry before it";
        newer = created;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"first.log", "sub", "sub/second.log"}));
}

TEST(Listing, WithoutAPosterCompletionsRunOnTheListingThread) {
    test::TempDir dir;
    QFileLogger logger(std::make_shared<QFileLogConfig>(dir / "missing"));
    std::mutex mutex;
    std::condition_variable cv;
    std::optional<std::string> threadName;
    std::size_t entries = 99;
    logger.getLogList([&](std::vector<QlogFileModel> list) {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        std::lock_guard lock(mutex);
        threadName = name;
        entries = list.size();
        cv.notify_all();
    });
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return threadName.has_value(); });
    EXPECT_EQ(*threadName, "com.log.list");
    EXPECT_EQ(entries, 0u);
}

} // namespace
} // namespace ostrane
