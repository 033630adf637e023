// The kit's small controls: switch, segmented control, tap throttle and menu, and the contrast
// of their texts.
#include <QMenu>
#include <QSignalSpy>

#include "common/Menu.h"
#include "common/QEmptyStateView.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "common/QTapThrottle.h"
#include "common/UiStyle.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using std::chrono::milliseconds;
using TimePoint = std::chrono::steady_clock::time_point;

TEST(SwitchTest, AClickTogglesAndReportsItCodeMovesTheKnobSilentlyAndDisabledIgnoresClicks) {
  QSwitch toggle;
  toggle.show();
  QSignalSpy clicks(&toggle, &QSwitch::clicked);
  QTest::mouseClick(&toggle, Qt::LeftButton);
  QTest::mouseClick(&toggle, Qt::LeftButton);
  ASSERT_EQ(clicks.count(), 2);
  EXPECT_TRUE(clicks.at(0).at(0).toBool());
  EXPECT_FALSE(clicks.at(1).at(0).toBool());
  EXPECT_FALSE(toggle.isChecked());
  toggle.setChecked(true);
  EXPECT_EQ(toggle.knobPosition(), 1.0);
  toggle.setEnabled(false);
  QTest::mouseClick(&toggle, Qt::LeftButton);
  EXPECT_TRUE(toggle.isChecked());
  EXPECT_EQ(clicks.count(), 2);
}

TEST(SegmentTest, AClickSelectsAndReportsCodeSelectsSilentlyAndDisabledIgnoresClicks) {
  QSegmentedControl segment;
  segment.setItems({QStringLiteral("60°"), QStringLiteral("90°"), QStringLiteral("120°")});
  segment.resize(240, 30);
  segment.show();
  const auto item = [&](int index) { return segment.findChildren<QAbstractButton*>().at(index); };
  QSignalSpy chosen(&segment, &QSegmentedControl::segmentSelected);
  QTest::mouseClick(item(2), Qt::LeftButton);
  QTest::mouseClick(item(0), Qt::LeftButton);
  ASSERT_EQ(chosen.count(), 2);
  EXPECT_EQ(chosen.at(0).at(0).toInt(), 2);
  EXPECT_EQ(chosen.at(1).at(0).toInt(), 0);
  EXPECT_FALSE(item(2)->isChecked());
  segment.setSelectedIndex(1);
  segment.setSelectedIndex(3);
  segment.setSelectedIndex(-1);
  EXPECT_EQ(segment.selectedIndex(), 1);
  segment.setEnabled(false);
  QTest::mouseClick(item(0), Qt::LeftButton);
  EXPECT_EQ(segment.selectedIndex(), 1);
  EXPECT_EQ(chosen.count(), 2);
  segment.setItems({QStringLiteral("Low"), QStringLiteral("Medium"), QStringLiteral("High"),
                    QStringLiteral("Max")});
  EXPECT_EQ(segment.selectedIndex(), -1);
  EXPECT_EQ(segment.findChildren<QAbstractButton*>().size(), 4);
}

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

// The entries in order, below the button with right edges aligned; the chosen one runs once the
// menu has closed, and showing again replaces the open menu.
TEST(MenuTest, ShowsItsEntriesInOrderAndRunsTheChosenOneAfterClosing) {
  QWidget window;
  auto* anchor = new QPushButton(QStringLiteral("more"), &window);
  window.resize(300, 200);
  anchor->setGeometry(250, 10, 40, 30);
  window.show();
  Menu menu;
  QStringList ran;
  menu.setItems({MenuItem{QUuid::createUuid(), QStringLiteral("About"), nullptr},
                 MenuItem{QUuid::createUuid(), QStringLiteral("Quit"), [&] { ran << "Quit"; }}});
  menu.showAt(anchor);
  QPointer<QMenu> first = menu.popup();
  menu.showAt(anchor);
  EXPECT_TRUE(first.isNull());
  QMenu* popup = menu.popup();
  ASSERT_EQ(popup->actions().size(), 2);
  EXPECT_EQ(popup->actions().at(0)->text(), QStringLiteral("About"));
  EXPECT_EQ(popup->actions().at(1)->data().toUuid(), menu.items().at(1).identifier);
  EXPECT_GE(popup->pos().y(), anchor->mapToGlobal(QPoint(0, anchor->height())).y());
  EXPECT_EQ(popup->pos().x() + popup->sizeHint().width(),
            anchor->mapToGlobal(QPoint(anchor->width(), 0)).x());
  popup->actions().at(1)->trigger();
  EXPECT_TRUE(ran.isEmpty()) << "runs once the menu has closed";
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, QStringList{"Quit"});
  menu.showAt(anchor);
  menu.popup()->actions().at(0)->trigger();
  QCoreApplication::processEvents();  // an entry without an action does nothing
}

}  // namespace
}  // namespace vexhal
