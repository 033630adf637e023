#include <QMenu>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include "common/Menu.h"
#include "common/QEmptyStateView.h"
#include "common/QNavigationController.h"
#include "common/UiTestSupport.h"
#include "section/about/QAboutVC.h"
#include "section/camera_list/QCameraListVC.h"
#include "section/root/QRootVC.h"

namespace vexhal {
namespace {

using test::logged;

struct RootTest : testing::Test {
  RootTest() {
    root.setQuitHandler([this] { ++quits; });
    root.resize(900, 600);
    root.show();
  }

  QMenu* openMenu() {
    QTest::mouseClick(root.moreBtn(), Qt::LeftButton);
    return root.myMenu()->popup();
  }

  QRootVC root;
  int quits = 0;
};

TEST_F(RootTest, TheInnerStacksRootIsTheCameraList) {
  auto* home = qobject_cast<QCameraListVC*>(root.navVC()->rootViewController());
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->navigationController(), root.navVC());
  EXPECT_TRUE(home->isVisible());
  EXPECT_TRUE(home->emptyView()->hasPicture());
}

TEST_F(RootTest, TheMoreButtonOpensTheMenuWithAboutAndQuit) {
  QMenu* menu = openMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(logged("Root, moreBtnAction(_:)"));
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("About"));
  EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("Quit"));
  const QList<MenuItem>& items = root.myMenu()->items();
  ASSERT_EQ(items.size(), 2);
  EXPECT_NE(items.at(0).identifier, items.at(1).identifier);
  EXPECT_FALSE(items.at(0).identifier.isNull());
  const QUuid first = items.at(0).identifier;
  openMenu();  // each opening gives the entries new identifiers
  EXPECT_NE(root.myMenu()->items().at(0).identifier, first);
}

TEST_F(RootTest, QuitLogsAndQuits) {
  openMenu()->actions().at(1)->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(logged("Root, exitMenuAction()"));
}

TEST_F(RootTest, AboutTwiceLeavesOneAboutScreenOnTheStack) {
  for (int round = 0; round < 2; ++round) {
    openMenu()->actions().at(0)->trigger();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(logged("Root, aboutMenuAction()"));
  ASSERT_EQ(root.navVC()->viewControllers().size(), 2);
  EXPECT_NE(qobject_cast<QAboutVC*>(root.navVC()->topViewController()), nullptr);
}

}  // namespace
}  // namespace vexhal
