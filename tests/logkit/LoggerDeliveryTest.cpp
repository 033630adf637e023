// Delivery through a logger: thresholds, the observer, handler order and thread order.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <pthread.h>
#include <thread>

namespace ostrane {
namespace {

using test::MemoryHandler;

QLogMsg messageAt(LogLevel level, std::string content = "m") {
    QLogMsg msg;
    msg.level = level;
    msg.content = std::move(content);
    msg.date = "2024-03-05 14:22:10.123";
    msg.file = "f";
    msg.line = "1";
    msg.method = "m()";
    return msg;
}

struct ThresholdCase {
    LogLevel threshold;
    LogLevel level;
    bool passes;
};

class Threshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(Threshold, MessagesAtOrAboveTheThresholdPass) {
    const auto& c = GetParam();
    auto handler = std::make_shared<MemoryHandler>();
    QLogger logger;
    logger.setLevel(c.threshold);
    logger.add(handler);
    logger.log(messageAt(c.level));
    flushLogQueue();
    EXPECT_EQ(handler->lines().size(), c.passes ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Threshold,
                         ::testing::Values(ThresholdCase{LogLevel::warn, LogLevel::warn, true},
                                           ThresholdCase{LogLevel::warn, LogLevel::debug, false},
                                           ThresholdCase{LogLevel::warn, LogLevel::error, true},
                                           ThresholdCase{LogLevel::verbose, LogLevel::verbose, true},
                                           ThresholdCase{LogLevel::close, LogLevel::fatal, false},
                                           ThresholdCase{LogLevel::close, LogLevel::close, true}));

TEST(Threshold, LevelMethodsBuildTheirLevelAndTag) {
    auto handler = std::make_shared<MemoryHandler>();
    QLogger logger;
    logger.setLevel(LogLevel::warn);
    logger.add(handler);
    logger.verbose("dropped");
    logger.warn("Upgrade, failed", 3);
    logger.error(Tag{"HID"}, "report", 0x51); const int errorLine = __LINE__;
    flushLogQueue();
    const auto lines = handler->lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("] [warn]: Upgrade, failed 3 ["), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("] [error] [HID]: report 81 ["), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("LoggerDeliveryTest.cpp:" + std::to_string(errorLine) + "]"), std::string::npos) << lines[1];
}

class RecordingObserver : public QLoggerObserver {
public:
    void onLog(LogLevel level, const std::string& line) override {
        std::lock_guard lock(mutex);
        seen.emplace_back(level, line);
    }
    std::mutex mutex;
    std::vector<std::pair<LogLevel, std::string>> seen;
};

TEST(Observer, TakesOverWhileAliveAndHandlersResumeAfterwards) {
    auto handler = std::make_shared<MemoryHandler>();
    auto observer = std::make_shared<RecordingObserver>();
    QLogger logger;
    logger.add(handler);
    logger.setDelegate(observer);
    logger.log(messageAt(LogLevel::warn, "first"));
    flushLogQueue();
    ASSERT_EQ(observer->seen.size(), 1u);
    EXPECT_EQ(observer->seen[0].first, LogLevel::warn);
    EXPECT_EQ(observer->seen[0].second, messageAt(LogLevel::warn, "first").formatLog());
    EXPECT_TRUE(handler->lines().empty());

    std::weak_ptr<RecordingObserver> watch = observer;
    observer.reset();
    EXPECT_TRUE(watch.expired()) << "a logger must not keep its observer alive";
    logger.log(messageAt(LogLevel::warn, "second"));
    flushLogQueue();
    ASSERT_EQ(handler->lines().size(), 1u);
    EXPECT_NE(handler->lines()[0].find("second"), std::string::npos);
}

class ThrowingHandler : public QLogHandler {
public:
    void log(const std::string&) override { throw std::runtime_error("disk on fire"); }
};

TEST(Handlers, EachHandlerGetsTheLineInOrderAndFailuresStayInside) {
    auto first = std::make_shared<MemoryHandler>();
    auto second = std::make_shared<MemoryHandler>();
    QLogger logger;
    logger.add(first);
    logger.add(std::make_shared<ThrowingHandler>());
    logger.add(second);
    logger.add(first); // twice: writes twice
    logger.log(messageAt(LogLevel::debug, "x"));
    flushLogQueue();
    EXPECT_EQ(first->lines().size(), 2u);
    EXPECT_EQ(second->lines().size(), 1u);
}

class ThreadNameHandler : public QLogHandler {
public:
    void log(const std::string&) override {
        char buf[32] = {};
        pthread_getname_np(pthread_self(), buf, sizeof(buf));
        name = buf;
    }
    std::string name;
};

TEST(Handlers, RunOnTheNamedLogQueueThread) {
    auto handler = std::make_shared<ThreadNameHandler>();
    QLogger logger;
    logger.add(handler);
    logger.warn("where am I");
    flushLogQueue();
    EXPECT_EQ(handler->name, "com.log.queue");
}

TEST(Handlers, GetLoggerFindsTheFirstHandlerOfAType) {
    auto memory = std::make_shared<MemoryHandler>();
    auto cmd = std::make_shared<QCmdLogger>();
    QLogger logger;
    EXPECT_EQ(logger.getLogger<QCmdLogger>(), nullptr);
    logger.add(memory);
    logger.add(cmd);
    logger.add(std::make_shared<QCmdLogger>());
    EXPECT_EQ(logger.getLogger<QCmdLogger>(), cmd);
    EXPECT_EQ(logger.getLogger<QLogHandler>(), memory);
    EXPECT_EQ(logger.getLogger<QFileLogger>(), nullptr);
}

TEST(Handlers, CopiesShareHandlersButNotLaterChanges) {
    auto shared = std::make_shared<MemoryHandler>();
    auto extra = std::make_shared<MemoryHandler>();
    QLogger original;
    original.add(shared);
    QLogger copy = original;
    copy.add(extra);
    copy.setLevel(LogLevel::error);
    original.log(messageAt(LogLevel::debug, "via original"));
    copy.log(messageAt(LogLevel::error, "via copy"));
    flushLogQueue();
    EXPECT_EQ(shared->lines().size(), 2u);
    EXPECT_EQ(extra->lines().size(), 1u);
    EXPECT_EQ(original.array().size(), 1u);
}

TEST(Handlers, CmdLoggerWritesLinesToStandardOutput) {
    QLogger logger;
    logger.add(std::make_shared<QCmdLogger>());
    ::testing::internal::CaptureStdout();
    logger.log(messageAt(LogLevel::info, "to the console"));
    flushLogQueue();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, messageAt(LogLevel::info, "to the console").formatLog() + "\n");
}

TEST(Ordering, LinesFromManyThreadsArriveWholeAndInEachThreadsOrder) {
    constexpr int kThreads = 4;
    constexpr int kLines = 3000;
    auto handler = std::make_shared<MemoryHandler>();
    QLogger logger;
    logger.add(handler);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                logger.warn("t", t, "n", i);
                if (i % 512 == 0) flushLogQueue(); // keep the queue from overflowing
            }
        });
    }
    for (auto& th : threads) th.join();
    flushLogQueue();
    std::vector<int> next(kThreads, 0);
    int total = 0;
    for (const auto& line : handler->lines()) {
        const auto pos = line.find("]: t ");
        ASSERT_NE(pos, std::string::npos) << line;
        int t = -1;
        int n = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + pos, "]: t %d n %d", &t, &n), 2) << line;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(n, next[t]) << "thread " << t << " lost or reordered a line";
        next[t] = n + 1;
        ++total;
    }
    // At most 4 x 512 lines wait at once, far below the queue's size, so none may be dropped.
    EXPECT_EQ(total, kThreads * kLines);
}

} // namespace
} // namespace ostrane
