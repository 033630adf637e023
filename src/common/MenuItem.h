#pragma once

#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace vexhal {

// One entry of a Menu: a title, an identifier, what choosing it does and, for a setting that is
// on or off, its check mark. An entry without a title is a separator line.
struct MenuItem {
  QUuid identifier = QUuid::createUuid();
  QString title;
  std::function<void()> action;
  std::optional<bool> checked;
};

}  // namespace vexhal
