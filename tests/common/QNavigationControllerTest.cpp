#include <QPointer>
#include <QPropertyAnimation>

#include <gtest/gtest.h>

#include "common/QNavigationController.h"
#include "common/QViewController.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using test::logged;
using test::processDeferredDeletes;

class Screen : public QViewController {
 public:
  Screen() : QViewController("TestScreen") {}
};

struct NavigationTest : testing::Test {
  NavigationTest() : root(new Screen), nav(root) { nav.resize(400, 300); }

  Screen* root;
  QNavigationController nav;
};

TEST_F(NavigationTest, PushPutsTheScreenOnTopAndLinksIt) {
  EXPECT_EQ(nav.rootViewController(), root);
  EXPECT_EQ(root->navigationController(), &nav);
  EXPECT_EQ(root->parentWidget(), &nav);
  auto* first = new Screen;
  auto* second = new Screen;
  nav.push(first, false);
  nav.push(second, false);

  EXPECT_EQ(nav.viewControllers(), (QList<QViewController*>{root, first, second}));
  EXPECT_EQ(nav.topViewController(), second);
  EXPECT_EQ(second->navigationController(), &nav);
  EXPECT_FALSE(second->isHidden());
  EXPECT_TRUE(first->isHidden());
  EXPECT_TRUE(root->isHidden());
  EXPECT_EQ(second->geometry(), nav.rect());
  nav.push(second, false);  // already on the stack: one entry
  EXPECT_EQ(nav.viewControllers().size(), 3);
}

TEST_F(NavigationTest, PopShowsTheScreenBelowAndDestroysThePoppedOne) {
  auto* first = new Screen;
  QPointer<Screen> second = new Screen;
  nav.push(first);
  nav.push(second);
  const std::string deinitLine = "deinit：" + second->description().toStdString();

  nav.pop(false);

  EXPECT_EQ(nav.viewControllers(), (QList<QViewController*>{root, first}));
  EXPECT_FALSE(first->isHidden());
  processDeferredDeletes();
  EXPECT_TRUE(second.isNull());
  EXPECT_TRUE(logged(deinitLine)) << deinitLine;
}

TEST_F(NavigationTest, PoppingTheRootAloneKeepsIt) {
  nav.pop(false);
  nav.popToRoot(false);
  processDeferredDeletes();
  EXPECT_EQ(nav.viewControllers(), QList<QViewController*>{root});
  EXPECT_FALSE(root->isHidden());
}

TEST_F(NavigationTest, PopToRootReleasesEveryScreenAboveTheRoot) {
  QPointer<Screen> first = new Screen;
  QPointer<Screen> second = new Screen;
  QPointer<Screen> third = new Screen;
  nav.push(first);
  nav.push(second);
  nav.push(third);

  nav.popToRoot(false);

  EXPECT_EQ(nav.viewControllers(), QList<QViewController*>{root});
  EXPECT_EQ(nav.topViewController(), root);
  EXPECT_FALSE(root->isHidden());
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(second.isNull());
  EXPECT_TRUE(third.isNull());
}

TEST_F(NavigationTest, TheTopScreenFollowsTheContainersSize) {
  nav.show();
  auto* first = new Screen;
  nav.push(first);
  nav.resize(640, 480);
  EXPECT_EQ(first->geometry(), QRect(0, 0, 640, 480));
}

TEST_F(NavigationTest, AnAnimatedPopReleasesTheScreenWhenTheSlideEnds) {
  nav.show();
  QPointer<Screen> first = new Screen;
  nav.push(first, false);
  nav.pop(true);
  EXPECT_EQ(nav.viewControllers(), QList<QViewController*>{root});

  auto* slide = nav.findChild<QPropertyAnimation*>();
  ASSERT_NE(slide, nullptr);
  EXPECT_EQ(slide->targetObject(), first.data());
  slide->setCurrentTime(slide->duration());
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(root->pos(), QPoint(0, 0));
}

TEST(NavigationLinkTest, ALooseScreenOrAForeignObjectUnderTheKeyGivesNoContainer) {
  Screen screen;
  EXPECT_EQ(screen.navigationController(), nullptr);
  EXPECT_EQ(navigationControllerOf(nullptr), nullptr);
  QObject other;
  screen.setProperty(kNavigationControllerKey, QVariant::fromValue(QPointer<QObject>(&other)));
  EXPECT_EQ(screen.navigationController(), nullptr);
}

TEST(NavigationLinkTest, TheLinkDoesNotKeepTheContainerAlive) {
  auto* root = new Screen;
  auto* nav = new QNavigationController(root);
  auto* pushed = new Screen;
  nav->push(pushed);
  pushed->setParent(nullptr);  // taken out before the container goes
  delete nav;
  EXPECT_EQ(pushed->navigationController(), nullptr);
  delete pushed;
}

TEST(ViewControllerTest, DestroyingAScreenLogsItsDeinitLine) {
  auto* screen = new Screen;
  const QString description = screen->description();
  EXPECT_TRUE(description.startsWith(QStringLiteral("<VexhalTools.TestScreen: 0x"))) << description.toStdString();
  delete screen;
  EXPECT_TRUE(logged("deinit：" + description.toStdString()));
}

}  // namespace
}  // namespace vexhal
