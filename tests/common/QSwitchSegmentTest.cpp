#include <QSignalSpy>

#include "common/QEmptyStateView.h"
#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "common/UiStyle.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

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

}  // namespace
}  // namespace vexhal
