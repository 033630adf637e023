#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <functional>
#include <optional>

namespace vexhal {

// One button of a QAlertController: its title, look, font and what choosing it does.
class QAlertAction {
 public:
  enum class QAlertActionStyle {
    gray = 0,
    grayFilled = 1,
    blue = 2,
    blueFilled = 3,
    red = 4,
    redFilled = 5
  };

  // The colours and font a style asks of its button. No background or border means clear.
  struct Look {
    std::optional<QColor> background;
    std::optional<QColor> border;
    QColor title;
    std::optional<QFont> font;  // replaces the action's font when set
  };

  using Handler = std::function<void(QAlertAction&)>;

  QAlertAction() = default;
  QAlertAction(std::optional<QString> actionTitle, std::optional<QAlertActionStyle> actionStyle,
               std::optional<QFont> actionFont, Handler actionHandler)
      : title(std::move(actionTitle)),
        style(actionStyle),
        font(std::move(actionFont)),
        handler(std::move(actionHandler)) {}

  // The style with this raw value; values outside 0 to 5 give none.
  static std::optional<QAlertActionStyle> styleFromRaw(int raw);
  // The look of a style; no style gives the plain look (no fill, no border, gray title).
  static Look look(std::optional<QAlertActionStyle> style);

  std::optional<QString> title;
  std::optional<QAlertActionStyle> style;
  std::optional<QFont> font;
  Handler handler;
  // The button made for this action once it is added to a dialog.
  QPointer<QPushButton> button;
};

}  // namespace vexhal
