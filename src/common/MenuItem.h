#pragma once

#include <QString>
#include <QUuid>

#include <functional>

namespace vexhal {

// One entry of a Menu: a title, an identifier and what choosing it does.
struct MenuItem {
  QUuid identifier = QUuid::createUuid();
  QString title;
  std::function<void()> action;
};

}  // namespace vexhal
