#include <QMenu>

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

// The camera list at the root of the inner stack; the More button's menu, with new entry
// identifiers at each opening: About twice leaves one about screen, Quit quits.
TEST(RootTest, TheMoreMenuOpensAboutOnceAndQuits) {
  Platform platform;
  QRootVC root(platform);
  int quits = 0;
  root.setQuitHandler([&] { ++quits; });
  root.resize(900, 600);
  root.show();
  auto* home = qobject_cast<QCameraListVC*>(root.navVC()->rootViewController());
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->navigationController(), root.navVC());
  EXPECT_TRUE(home->emptyView()->hasPicture());
  const auto openMenu = [&] {
    QTest::mouseClick(root.moreBtn(), Qt::LeftButton);
    return root.myMenu()->popup();
  };
  QMenu* menu = openMenu();
  EXPECT_TRUE(logged("Root, moreBtnAction(_:)"));
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("About"));
  EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("Quit"));
  const QUuid first = root.myMenu()->items().at(0).identifier;
  for (int round = 0; round < 2; ++round) {
    openMenu()->actions().at(0)->trigger();
    QCoreApplication::processEvents();
  }
  EXPECT_NE(root.myMenu()->items().at(0).identifier, first);
  EXPECT_TRUE(logged("Root, aboutMenuAction()"));
  ASSERT_EQ(root.navVC()->viewControllers().size(), 2);
  EXPECT_NE(qobject_cast<QAboutVC*>(root.navVC()->topViewController()), nullptr);
  EXPECT_EQ(quits, 0);
  openMenu()->actions().at(1)->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(logged("Root, exitMenuAction()"));
}

}  // namespace
}  // namespace vexhal
