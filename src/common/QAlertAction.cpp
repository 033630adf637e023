#include "common/QAlertAction.h"

#include "common/UiStyle.h"

namespace vexhal {

std::optional<QAlertAction::QAlertActionStyle> QAlertAction::styleFromRaw(int raw) {
  if (raw < 0 || raw > 5) {
    return std::nullopt;
  }
  return static_cast<QAlertActionStyle>(raw);
}

QAlertAction::Look QAlertAction::look(std::optional<QAlertActionStyle> style) {
  const QColor grayTitle = ui::gray();
  if (!style) {
    return {std::nullopt, std::nullopt, grayTitle, std::nullopt};
  }
  switch (*style) {
    case QAlertActionStyle::gray:
      return {std::nullopt, ui::lightBorder(), grayTitle, std::nullopt};
    case QAlertActionStyle::grayFilled:
      return {ui::paleFill(), std::nullopt, grayTitle, ui::systemFont(12)};
    case QAlertActionStyle::blue:
      return {std::nullopt, ui::teal(), ui::teal(), std::nullopt};
    case QAlertActionStyle::blueFilled:
      return {ui::blue(), ui::blue(), Qt::white, ui::systemFont(12, QFont::Medium)};
    case QAlertActionStyle::red:
      return {std::nullopt, ui::red(), ui::red(), std::nullopt};
    case QAlertActionStyle::redFilled:
      return {ui::red(), ui::red(), QColor(250, 250, 250), std::nullopt};
  }
  return {std::nullopt, std::nullopt, grayTitle, std::nullopt};
}

}  // namespace vexhal
