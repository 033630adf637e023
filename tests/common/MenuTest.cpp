#include <QMenu>

#include "common/Menu.h"
#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

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
