#include "common/QTapThrottle.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// The first tap of a burst passes; dropped taps do not extend the window, which runs from the
// accepted tap.
TEST(TapThrottleTest, LetsTheFirstTapOfABurstThrough) {
  TimePoint now{};
  const struct {
    std::vector<int> tapsMs;
    std::vector<bool> accepted;
  } rows[] = {{{1000, 1100, 1299}, {true, false, false}},
              {{1000, 1300}, {true, true}},
              {{0, 200, 400, 600, 800}, {true, false, true, false, true}},
              {{50, 50}, {true, false}}};
  for (const auto& row : rows) {
    QTapThrottle throttle(milliseconds(300), [&] { return now; });
    std::vector<bool> results;
    for (const int at : row.tapsMs) {
      now = TimePoint(milliseconds(at));
      results.push_back(throttle.accept());
    }
    EXPECT_EQ(results, row.accepted);
  }
}

TEST(TapThrottleTest, ThrottlesTheClicksOfARealButton) {
  TimePoint now(milliseconds(10'000));
  QPushButton button(QStringLiteral("Open"));
  button.show();
  int runs = 0;
  QTapThrottle::connect(
      &button, milliseconds(300), [&] { ++runs; }, [&] { return now; });
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(runs, 1);
  now += milliseconds(300);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace vexhal
