// A full queue: callers go on without waiting, lines are dropped and counted, and the output
// says how many were lost. Its own executable, because the queue size is fixed at first use.

#include "LogQueue.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>

namespace ostrane {
namespace {

// Holds the log queue inside its first line until released.
class GateHandler : public test::MemoryHandler {
public:
    void log(const std::string& line) override {
        {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [&] { return open_; });
        }
        MemoryHandler::log(line);
    }
    void waitUntilEntered() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entered_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool open_ = false;
};

TEST(QueueOverflow, DropsWithoutBlockingAndReportsTheCount) {
    constexpr int kCapacity = 8;
    detail::LogQueue::setCapacityForTesting(kCapacity);
    ASSERT_EQ(detail::LogQueue::instance().capacity(), static_cast<std::size_t>(kCapacity));

    auto gate = std::make_shared<GateHandler>();
    QLogger logger;
    logger.add(gate);
    logger.warn("held");
    gate->waitUntilEntered(); // the worker now sits in the handler; its slot stays taken

    constexpr int kQueued = kCapacity - 1;
    for (int i = 0; i < kQueued; ++i) logger.warn("queued", i);
    for (int i = 0; i < 5; ++i) logger.warn("lost", i); // would block forever if callers waited
    gate->open();
    flushLogQueue();
    logger.warn("after");
    flushLogQueue();

    const auto lines = gate->lines();
    ASSERT_EQ(lines.size(), 1u + kQueued + 1u + 1u);
    EXPECT_NE(lines[0].find("held"), std::string::npos);
    for (int i = 0; i < kQueued; ++i)
        EXPECT_NE(lines[1 + i].find("queued " + std::to_string(i)), std::string::npos) << lines[1 + i];
    EXPECT_NE(lines[kQueued + 1].find("[warn]: " + detail::LogQueue::droppedNotice(5)), std::string::npos)
        << lines[kQueued + 1];
    EXPECT_NE(lines.back().find("after"), std::string::npos);
    for (const auto& line : lines) EXPECT_EQ(line.find("lost"), std::string::npos) << line;
}

} // namespace
} // namespace ostrane
