#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "FakeCaptureBackend.h"
#include "LogCapture.h"
#include "video/QRTCCamera.h"
#include "video/SerialOperationQueue.h"

namespace vexhal::video {
namespace {

using testing::FakeCaptureBackend;
using testing::LogCapture;

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
  std::mutex mutex;
  std::condition_variable done;
  std::vector<int> order;
  int running = 0;
  int maxRunning = 0;
  {
    SerialOperationQueue queue("test-queue");
    for (int i = 0; i < 50; ++i) {
      queue.add([&, i] {
        {
          const std::lock_guard lock(mutex);
          maxRunning = std::max(maxRunning, ++running);
        }
        const std::lock_guard lock(mutex);
        --running;
        order.push_back(i);
        done.notify_all();
      });
    }
    std::unique_lock lock(mutex);
    done.wait_for(lock, std::chrono::seconds(20), [&] { return order.size() == 50; });
  }
  ASSERT_EQ(order.size(), 50U);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(maxRunning, 1);
}

TEST(SerialOperationQueueTest, MayBeDestroyedFromItsOwnTask) {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  auto* queue = new SerialOperationQueue("self-ending");
  queue->add([&] {
    delete queue;
    const std::lock_guard lock(mutex);
    finished = true;
    done.notify_all();
  });
  std::unique_lock lock(mutex);
  EXPECT_TRUE(done.wait_for(lock, std::chrono::seconds(20), [&] { return finished; }));
}

}  // namespace
}  // namespace vexhal::video
