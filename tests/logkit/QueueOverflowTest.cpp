// A full queue: callers go on without waiting, lines are dropped and counted, and the output
// says how many were lost. Its own executable, because the queue size is fixed at first use.

#include "LogQueue.h"
#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <future>

namespace ostrane {
namespace {

// Holds the log queue inside its first line until opened.
class GateHandler : public test::MemoryHandler {
 public:
  void log(const std::string& line) override {
    if (!std::exchange(entered_, true)) entered.set_value();
    gate.wait();
    MemoryHandler::log(line);
  }
  std::promise<void> entered;
  std::promise<void> open;

 private:
  std::shared_future<void> gate = open.get_future().share();
  bool entered_ = false;  // only the queue thread delivers
};

TEST(QueueOverflow, DropsWithoutBlockingAndReportsTheCount) {
  constexpr int kCapacity = 8;
  detail::LogQueue::setCapacityForTesting(kCapacity);
  ASSERT_EQ(detail::LogQueue::instance().capacity(), static_cast<std::size_t>(kCapacity));

  auto gate = std::make_shared<GateHandler>();
  QLogger logger;
  logger.add(gate);
  logger.warn("held");
  gate->entered.get_future().wait();  // the worker now sits in the handler; its slot stays taken
  constexpr int kQueued = kCapacity - 1;
  for (int i = 0; i < kQueued; ++i) logger.warn("queued", i);
  for (int i = 0; i < 5; ++i) logger.warn("lost", i);  // would block forever if callers waited
  gate->open.set_value();
  flushLogQueue();
  logger.warn("after");
  flushLogQueue();

  const auto lines = gate->lines();
  ASSERT_EQ(lines.size(), 1u + kQueued + 1u + 1u);
  EXPECT_NE(lines[0].find("held"), std::string::npos);
  for (int i = 0; i < kQueued; ++i)
    EXPECT_NE(lines[1 + i].find("queued " + std::to_string(i)), std::string::npos) << lines[1 + i];
  EXPECT_NE(lines[kQueued + 1].find("[warn]: " + detail::LogQueue::droppedNotice(5)),
            std::string::npos)
      << lines[kQueued + 1];
  EXPECT_NE(lines.back().find("after"), std::string::npos);
  EXPECT_EQ(test::countWith(lines, "lost"), 0u);
}

}  // namespace
}  // namespace ostrane
