#pragma once

#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>

#include "common/MenuItem.h"

namespace vexhal {

// The program's pop-up menu: a list of titled entries shown below the button that opened it,
// right edges aligned. Choosing an entry runs its action after the menu has closed.
class Menu : public QObject {
  Q_OBJECT

 public:
  explicit Menu(QObject* parent = nullptr);
  ~Menu() override;

  void setItems(QList<MenuItem> items);
  const QList<MenuItem>& items() const { return items_; }

  // Opens the menu under `anchor`; returns at once.
  void showAt(QWidget* anchor);
  // The open menu's widget, or null when closed.
  QMenu* popup() const { return popup_; }

 private:
  QList<MenuItem> items_;
  QPointer<QMenu> popup_;
};

}  // namespace vexhal
