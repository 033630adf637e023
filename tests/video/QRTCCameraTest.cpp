#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "FakeCaptureBackend.h"
#include "Inbox.h"
#include "logkit/MemoryLog.h"
#include "video/QRTCCamera.h"
#include "video/SerialOperationQueue.h"

namespace vexhal::video {
namespace {

using testing::FakeCaptureBackend;
using ostrane::test::LogCapture;
using testing::Inbox;

// Holds the work queue's thread inside the first sample until released, so the number of
// waiting samples is exactly what the test sends.
class GatedOutput {
public:
  void operator()(const VideoSample& sample) {
    std::unique_lock lock(mutex_);
    seen_.push_back(sample.timestampNs);
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void waitUntilSeen(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return seen_.size() >= count; });
  }
  void open() {
    const std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  std::vector<std::int64_t> seen() {
    const std::lock_guard lock(mutex_);
    return seen_;
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::int64_t> seen_;
  bool open_ = false;
};

VideoSample numbered(std::int64_t number) {
  VideoSample sample;
  sample.timestampNs = number;
  return sample;
}

struct BacklogCase {
  std::size_t waiting;  // samples waiting when one more arrives
  bool drops;
};

class QRTCCameraBacklogTest : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(QRTCCameraBacklogTest, DropsEveryWaitingSampleOnlyPastTheBound) {
  LogCapture log;
  GatedOutput output;
  {
    QRTCCamera camera(std::make_shared<FakeCaptureBackend>());
    camera.setOutputBlock([&output](const VideoSample& sample) { output(sample); });
    camera.captureOutput(numbered(0));
    output.waitUntilSeen(1);  // sample 0 runs and holds the queue
    const auto waiting = static_cast<std::int64_t>(GetParam().waiting);
    for (std::int64_t i = 1; i <= waiting; ++i) camera.captureOutput(numbered(i));
    ASSERT_EQ(camera.waitingSamples(), GetParam().waiting);

    camera.captureOutput(numbered(waiting + 1));
    EXPECT_EQ(camera.waitingSamples(), GetParam().drops ? 1U : GetParam().waiting + 1);
    EXPECT_EQ(log.count("camera>丢帧"), GetParam().drops ? 1U : 0U);

    output.open();
    output.waitUntilSeen(GetParam().drops ? 2 : GetParam().waiting + 2);
  }
  const auto seen = output.seen();
  if (GetParam().drops) {
    EXPECT_EQ(seen, (std::vector<std::int64_t>{0, 152}));
  } else {
    ASSERT_EQ(seen.size(), GetParam().waiting + 2);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<std::int64_t>(i));
  }
}

INSTANTIATE_TEST_SUITE_P(Bound, QRTCCameraBacklogTest,
                         ::testing::Values(BacklogCase{150, false}, BacklogCase{151, true}));

TEST(QRTCCameraTest, StopsTheCaptureItStartedWhenDestroyed) {
  auto backend = std::make_shared<FakeCaptureBackend>();
  {
    QRTCCamera camera(backend);
    camera.startCapture({}, {}, 30, {});
  }
  EXPECT_EQ(backend->stops, 1);
  {
    QRTCCamera idle(backend);
  }
  EXPECT_EQ(backend->stops, 1);
}

TEST(SerialOperationQueueTest, RunsTasksInOrderOneAtATime) {
  Inbox<int> order;
  std::atomic<int> running = 0;
  std::atomic<bool> overlapped = false;
  {
    SerialOperationQueue queue("test-queue");
    for (int i = 0; i < 50; ++i) {
      queue.add([&, i] {
        if (++running > 1) overlapped = true;
        --running;
        order.push(i);
      });
    }
    ASSERT_TRUE(order.waitFor(50));
  }
  const auto ran = order.items();
  for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
  EXPECT_FALSE(overlapped);
}

TEST(SerialOperationQueueTest, MayBeDestroyedFromItsOwnTask) {
  Inbox<bool> finished;
  auto* queue = new SerialOperationQueue("self-ending");
  queue->add([&] {
    delete queue;
    finished.push(true);
  });
  EXPECT_TRUE(finished.waitFor(1));
}

}  // namespace
}  // namespace vexhal::video
