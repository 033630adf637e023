#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "common/QTapThrottle.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

struct ManualClock {
  TimePoint now{};
  QTapThrottle::Clock function() {
    return [this] { return now; };
  }
};

struct ThrottleCase {
  const char* name;
  std::vector<int> tapsMs;
  std::vector<bool> accepted;
};

class TapThrottleTest : public testing::TestWithParam<ThrottleCase> {};

TEST_P(TapThrottleTest, LetsTheFirstTapOfABurstThrough) {
  ManualClock clock;
  QTapThrottle throttle(milliseconds(300), clock.function());
  std::vector<bool> results;
  for (const int at : GetParam().tapsMs) {
    clock.now = TimePoint(milliseconds(at));
    results.push_back(throttle.accept());
  }
  EXPECT_EQ(results, GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, TapThrottleTest,
    testing::Values(ThrottleCase{"Single", {1000}, {true}},
                    ThrottleCase{"BurstWithinTheWindow", {1000, 1100, 1299}, {true, false, false}},
                    ThrottleCase{"ExactlyOneWindowLater", {1000, 1300}, {true, true}},
                    // Dropped taps do not extend the window: it runs from the accepted tap.
                    ThrottleCase{"SteadyTappingEvery200", {0, 200, 400, 600, 800}, {true, false, true, false, true}},
                    ThrottleCase{"SlowTaps", {0, 500, 1000}, {true, true, true}},
                    ThrottleCase{"SameInstant", {50, 50}, {true, false}}),
    [](const testing::TestParamInfo<ThrottleCase>& p) { return std::string(p.param.name); });

TEST(TapThrottleButtonTest, ThrottlesTheClicksOfARealButton) {
  ManualClock clock;
  clock.now = TimePoint(milliseconds(10'000));
  QPushButton button(QStringLiteral("Open"));
  button.show();
  int runs = 0;
  QTapThrottle::connect(&button, milliseconds(300), [&] { ++runs; }, clock.function());

  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  clock.now += milliseconds(300);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace vexhal
