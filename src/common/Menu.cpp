#include "common/Menu.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "common/UiStyle.h"

namespace vexhal {

Menu::Menu(QObject* parent) : QObject(parent) {}

Menu::~Menu() { delete popup_; }

void Menu::setItems(QList<MenuItem> items) { items_ = std::move(items); }

void Menu::showAt(QWidget* anchor) {
  delete popup_;
  auto* menu = new QMenu(anchor);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setFont(ui::systemFont(13));
  menu->setStyleSheet(
      QStringLiteral("QMenu { background: white; border: 1px solid #e0e0e0; padding: 6px 0; }"
                     "QMenu::item { color: %1; padding: 8px 36px 8px 20px; min-width: 96px; }"
                     "QMenu::item:selected { background: %2; color: %3; }")
          .arg(ui::ink().name(), ui::paleFill().name(), ui::tealText().name()));
  for (const MenuItem& item : std::as_const(items_)) {
    if (item.title.isEmpty()) {
      menu->addSeparator();
      continue;
    }
    QAction* entry = menu->addAction(item.title);
    entry->setData(item.identifier);
    if (item.checked) {
      entry->setCheckable(true);
      entry->setChecked(*item.checked);
    }
    // Queued, so the action runs after the menu has closed and released the mouse.
    connect(entry, &QAction::triggered, this, [this, id = item.identifier] {
      QMetaObject::invokeMethod(
          this,
          [this, id] {
            for (const MenuItem& candidate : std::as_const(items_)) {
              if (candidate.identifier == id && candidate.action) {
                candidate.action();
                return;
              }
            }
          },
          Qt::QueuedConnection);
    });
  }
  popup_ = menu;
  const QSize size = menu->sizeHint();
  QPoint origin = anchor->mapToGlobal(QPoint(anchor->width() - size.width(), anchor->height() + 4));
  if (QScreen* screen = anchor->screen()) {
    const QRect area = screen->availableGeometry();
    origin.setX(
        std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() - size.width())));
  }
  menu->popup(origin);
}

}  // namespace vexhal
