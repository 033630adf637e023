// The kit's tap throttle.
#include "common/QTapThrottle.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// On a real button the first tap of a burst passes; dropped taps do not extend the window,
// which runs from the accepted tap.
TEST(TapThrottleTest, ThrottlesTheClicksOfARealButton) {
  QPushButton button(QStringLiteral("Open"));
  button.show();
  int now = 0;
  std::vector<int> ran;
  QTapThrottle::connect(
      &button, milliseconds(300), [&] { ran.push_back(now); },
      [&] { return TimePoint(milliseconds(now)); });
  for (const int at : {10'000, 10'000, 10'200, 10'299, 10'300, 10'599}) {
    now = at;
    QTest::mouseClick(&button, Qt::LeftButton);
  }
  EXPECT_EQ(ran, (std::vector<int>{10'000, 10'300}));
}

}  // namespace
}  // namespace vexhal
