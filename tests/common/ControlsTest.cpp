// The kit's tap throttle and the contrast of its texts.
#include "common/QEmptyStateView.h"
#include "common/QTapThrottle.h"
#include "common/UiStyle.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

// The kit's texts of free colour, each against its background, reach 4.5:1 (WCAG); the first
// check anchors the ratio itself at its known extreme.
TEST(KitContrast, FreeTextColoursReachFourAndAHalfToOne) {
  const QEmptyStateView empty(QStringLiteral("empty_noCamera"), QStringLiteral("No camera"));
  const QColor emptyText = empty.findChild<QLabel*>(QStringLiteral("emptyStateText"))
                               ->palette()
                               .color(QPalette::WindowText);
  EXPECT_DOUBLE_EQ(ui::contrastRatio(Qt::black, Qt::white), 21.0);
  const struct {
    const char* what;
    QColor text, background;
  } rows[] = {
      {"selector item", ui::ink(), ui::paleFill()},
      {"selected selector item", ui::tealText(), Qt::white},
      {"disabled selector item", ui::disabledText(), ui::paleFill()},
      {"disabled selected selector item", ui::disabledTealText(), Qt::white},
      {"selected menu item", ui::tealText(), ui::paleFill()},
      {"empty-state text", emptyText, Qt::white},
      {"grey text on a pale fill", ui::gray(), ui::paleFill()},
      {"link on a pale fill, and white on its colour", ui::blueText(), ui::paleFill()},
  };
  for (const auto& row : rows)
    EXPECT_GE(ui::contrastRatio(row.text, row.background), 4.5) << row.what;
}

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
