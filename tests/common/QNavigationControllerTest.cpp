#include <QPropertyAnimation>

#include "common/QNavigationController.h"
#include "common/QViewController.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using test::logged;
using test::processDeferredDeletes;

struct Screen : QViewController {
  Screen() : QViewController("TestScreen") {}
};

struct NavigationTest : testing::Test {
  NavigationTest() : root(new Screen), nav(root) { nav.resize(400, 300); }

  Screen* root;
  QNavigationController nav;
};

// Pushed screens stack up, linked to the container, the top one shown over the whole container;
// popping shows the one below and destroys the popped one, logging its deinit line.
TEST_F(NavigationTest, PushAndPopKeepTheStackAndReleasePoppedScreens) {
  nav.show();
  EXPECT_EQ(root->navigationController(), &nav);
  QPointer<Screen> first = new Screen;
  QPointer<Screen> second = new Screen;
  nav.push(first, false);
  nav.push(second, false);
  nav.push(second, false);  // already on the stack: one entry
  EXPECT_EQ(nav.viewControllers(), (QList<QViewController*>{root, first, second}));
  EXPECT_EQ(second->navigationController(), &nav);
  EXPECT_TRUE(first->isHidden());
  nav.resize(640, 480);
  EXPECT_EQ(second->geometry(), nav.rect());
  const std::string deinitLine = "deinit：" + second->description().toStdString();
  nav.pop(false);
  EXPECT_FALSE(first->isHidden());
  processDeferredDeletes();
  EXPECT_TRUE(second.isNull());
  EXPECT_TRUE(logged(deinitLine)) << deinitLine;

  nav.push(new Screen, false);
  nav.popToRoot(false);
  nav.pop(false);  // the root alone stays
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(nav.viewControllers(), QList<QViewController*>{root});

  // An animated pop releases the screen when the slide ends.
  first = new Screen;
  nav.push(first, false);
  nav.pop(true);
  auto* slide = nav.findChild<QPropertyAnimation*>();
  ASSERT_NE(slide, nullptr);
  slide->setCurrentTime(slide->duration());
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(root->pos(), QPoint(0, 0));
  EXPECT_FALSE(root->isHidden());
}

// Neither a foreign object under the key nor a container that has gone counts as a container.
TEST(NavigationLinkTest, OnlyALiveContainerIsTheScreensContainer) {
  Screen screen;
  EXPECT_EQ(screen.navigationController(), nullptr);
  EXPECT_EQ(navigationControllerOf(nullptr), nullptr);
  QObject other;
  screen.setProperty(kNavigationControllerKey, QVariant::fromValue(QPointer<QObject>(&other)));
  EXPECT_EQ(screen.navigationController(), nullptr);
  auto* nav = new QNavigationController(new Screen);
  auto* pushed = new Screen;
  nav->push(pushed);
  pushed->setParent(nullptr);  // taken out before the container goes
  delete nav;
  EXPECT_EQ(pushed->navigationController(), nullptr);
  delete pushed;
}

}  // namespace
}  // namespace vexhal
