#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include "common/Menu.h"

namespace vexhal {
namespace {

TEST(MenuTest, ShowsItsEntriesInOrderAndRunsTheChosenOneAfterClosing) {
  QWidget window;
  auto* anchor = new QPushButton(QStringLiteral("more"), &window);
  window.resize(300, 200);
  anchor->setGeometry(250, 10, 40, 30);
  window.show();
  Menu menu;
  QStringList ran;
  menu.setItems({MenuItem{QUuid::createUuid(), QStringLiteral("About"), [&] { ran << "About"; }},
                 MenuItem{QUuid::createUuid(), QStringLiteral("Quit"), [&] { ran << "Quit"; }}});

  menu.showAt(anchor);

  QMenu* popup = menu.popup();
  ASSERT_NE(popup, nullptr);
  ASSERT_EQ(popup->actions().size(), 2);
  EXPECT_EQ(popup->actions().at(0)->text(), QStringLiteral("About"));
  EXPECT_EQ(popup->actions().at(1)->text(), QStringLiteral("Quit"));
  EXPECT_EQ(popup->actions().at(1)->data().toUuid(), menu.items().at(1).identifier);
  // Opens below the button, right edges aligned.
  EXPECT_GE(popup->pos().y(), anchor->mapToGlobal(QPoint(0, anchor->height())).y());
  EXPECT_EQ(popup->pos().x() + popup->sizeHint().width(), anchor->mapToGlobal(QPoint(anchor->width(), 0)).x());

  popup->actions().at(1)->trigger();
  EXPECT_TRUE(ran.isEmpty()) << "runs once the menu has closed";
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, QStringList{"Quit"});
}

TEST(MenuTest, ShowingAgainReplacesTheOpenMenu) {
  QWidget window;
  auto* anchor = new QPushButton(&window);
  window.show();
  Menu menu;
  menu.setItems({MenuItem{QUuid::createUuid(), QStringLiteral("About"), nullptr}});
  menu.showAt(anchor);
  QPointer<QMenu> first = menu.popup();
  menu.showAt(anchor);
  EXPECT_TRUE(first.isNull());
  ASSERT_NE(menu.popup(), nullptr);
  menu.popup()->actions().at(0)->trigger();
  QCoreApplication::processEvents();  // an entry without an action does nothing
}

}  // namespace
}  // namespace vexhal
