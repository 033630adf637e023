#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QToolButton>

#include <memory>
#include <optional>

#include "common/QAlertAction.h"
#include "common/QAlertItem.h"

namespace vexhal {

class QParagraphLabel;
class QSheetOverlay;

// The program's own modal dialog: an optional title, an optional message, a row of action
// buttons and an optional close button, shown window-modal inside the window that asks, on a
// QSheetOverlay.
// Choosing an action added with the close flag closes the dialog and then runs the action's
// handler. A dialog that has been closed ignores every later click and deletes itself.
//
//   auto* alert = new QAlertController(std::nullopt, "Reset parameters?");
//   alert->addAction(std::make_shared<QAlertAction>("Cancel", grayFilled, font, nullptr), true);
//   alert->present(this);
class QAlertController : public QDialog {
  Q_OBJECT

 public:
  QAlertController(std::optional<QString> title, std::optional<QString> message,
                   Qt::Alignment messageAlignment = Qt::AlignHCenter, bool isShowCloseBtn = false,
                   QWidget* parent = nullptr);

  // Appends an action and makes its button; buttons appear left to right in this order.
  // An action without a title is refused (false). Actions must be in place before the dialog
  // is shown. The first action that only closes the dialog (close flag, no handler) is its
  // cancel action: Escape chooses it, and the dialog opens with the keyboard on it.
  bool addAction(std::shared_ptr<QAlertAction> action, bool closesDialog);

  // Shows the dialog inside the window of `askingScreen`, centred, over its dimmed and blocked
  // content until the dialog closes. Without an asking screen it is a window of its own,
  // modal to the application.
  void present(QWidget* askingScreen);
  // Closes the dialog without running any handler; it is deleted afterwards.
  void dismissController();
  bool isDismissed() const { return dismissed_; }

  // Places items, buttons and the close button and fixes the dialog's size; `present` does it.
  void loadViewIfNeeded();

  QToolButton* closeBtn() const { return closeBtn_; }
  bool isShowCloseBtn() const { return isShowCloseBtn_; }
  const QList<QAlertItem>& items() const { return items_; }
  const QList<std::shared_ptr<QAlertAction>>& actions() const { return actions_; }
  // The action Escape chooses, or none.
  std::shared_ptr<QAlertAction> cancelAction() const { return cancelAction_.lock(); }
  const std::optional<QString>& alertTitle() const { return alertTitle_; }
  const std::optional<QString>& alertMessage() const { return alertMessage_; }
  QParagraphLabel* titleLabel() const { return titleLabel_; }
  QParagraphLabel* messageLabel() const { return messageLabel_; }
  QWidget* actionStackView() const { return actionStackView_; }
  // The layer the dialog is shown on, or null.
  QSheetOverlay* overlay() const;

  static constexpr int alertWidth = 260;
  static constexpr int alertHeight = 154;
  static constexpr int alertPadding = 24;
  static constexpr int actionTopInset = 20;
  static constexpr int actionHeight = 36;
  static constexpr int actionWidth = 92;
  static constexpr int actionSpacing = 20;
  static constexpr int actionBottomInset = 24;
  static constexpr int bottomInsetWithoutActions = 35;

 Q_SIGNALS:
  void dismissed();

 protected:
  void reject() override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<QToolButton> closeBtn_;
  bool isShowCloseBtn_;
  QList<QAlertItem> items_;
  QList<std::shared_ptr<QAlertAction>> actions_;
  std::weak_ptr<QAlertAction> cancelAction_;
  std::optional<QString> alertTitle_;
  std::optional<QString> alertMessage_;
  QParagraphLabel* titleLabel_;
  QParagraphLabel* messageLabel_;
  QWidget* actionStackView_;
  QAlertItem titleItem_;
  QAlertItem messageItem_;
  bool loaded_ = false;
  bool dismissed_ = false;
};

}  // namespace vexhal
