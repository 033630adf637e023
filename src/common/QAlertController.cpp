#include "common/QAlertController.h"

#include <QHBoxLayout>
#include <QPainter>

#include <ostrane/ostrane.h>

#include <algorithm>

#include "common/Pictures.h"
#include "common/QAlertButton.h"
#include "common/QParagraphLabel.h"
#include "common/QSheetOverlay.h"
#include "common/UiStyle.h"

namespace vexhal {
namespace {

constexpr int kTitleTop = 23;
constexpr int kMessageTop = 44;
constexpr int kMessageTopBelowTitle = 17;
constexpr int kLeftAlignedLineSpacing = 12;
constexpr int kLineSpacing = 5;
constexpr int kCloseBtnSize = 24;
constexpr int kCloseBtnInset = 8;
constexpr int kFocusBorder = 2;  // of ui::styleHeaderButton

int itemHeight(QWidget* view, int width) {
  return view->hasHeightForWidth() ? view->heightForWidth(width) : view->sizeHint().height();
}

}  // namespace

QAlertController::QAlertController(std::optional<QString> title, std::optional<QString> message,
                                   Qt::Alignment messageAlignment, bool isShowCloseBtn,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      isShowCloseBtn_(isShowCloseBtn),
      alertTitle_(std::move(title)),
      alertMessage_(std::move(message)),
      titleLabel_(new QParagraphLabel(this)),
      messageLabel_(new QParagraphLabel(this)),
      actionStackView_(new QWidget(this)) {
  setObjectName(QStringLiteral("QAlertController"));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  titleLabel_->setSingleLine(true);
  titleLabel_->setFont(ui::systemFont(14));
  titleLabel_->setTextColor(ui::ink());
  titleLabel_->setAlignment(Qt::AlignHCenter);
  messageLabel_->setFont(ui::systemFont(12));
  messageLabel_->setTextColor(ui::gray());
  titleItem_ = QAlertItem(titleLabel_, std::nullopt, QEdgeInsets{kTitleTop, 0, 0, 0});
  messageItem_ = QAlertItem(messageLabel_, std::nullopt, QEdgeInsets{kMessageTop, 0, 0, 0});

  auto* row = new QHBoxLayout(actionStackView_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(actionSpacing);

  closeBtn_ = new QToolButton(this);
  closeBtn_->setObjectName(QStringLiteral("closeBtn"));
  closeBtn_->setIcon(pictureIcon(QStringLiteral("icon_close")));
  closeBtn_->setIconSize(QSize(kCloseBtnSize, kCloseBtnSize));
  closeBtn_->setAutoRaise(true);
  closeBtn_->setCursor(Qt::PointingHandCursor);
  closeBtn_->setToolTip(QStringLiteral("Close"));
  ui::styleHeaderButton(closeBtn_);
  connect(closeBtn_, &QToolButton::clicked, this, &QAlertController::dismissController);

  if (alertTitle_) {
    titleLabel_->setText(*alertTitle_);
    items_.append(titleItem_);
  } else {
    titleLabel_->hide();
  }
  if (alertMessage_) {
    const bool left = (messageAlignment & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
    messageLabel_->setLineSpacing(left ? kLeftAlignedLineSpacing : kLineSpacing);
    messageLabel_->setAlignment(messageAlignment & Qt::AlignHorizontal_Mask);
    if (alertTitle_) {
      messageItem_.contentInset = QEdgeInsets{kMessageTopBelowTitle, 0, 0, 0};
    }
    messageLabel_->setText(*alertMessage_);
    items_.append(messageItem_);
  } else {
    messageLabel_->hide();
  }
}

bool QAlertController::addAction(std::shared_ptr<QAlertAction> action, bool closesDialog) {
  if (!action || !action->title) {
    QLog("Alert, addAction, refused: an action needs a title");
    return false;
  }
  actions_.append(action);
  if (closesDialog && !action->handler && cancelAction_.expired()) {
    cancelAction_ = action;
  }
  auto* button = new QAlertButton(*action->title, QAlertAction::look(action->style), action->font,
                                  actionStackView_);
  button->setFixedSize(actionWidth, actionHeight);
  actionStackView_->layout()->addWidget(button);
  action->button = button;
  // The connection ends with the dialog; a click that arrives after it has closed is dropped.
  std::weak_ptr<QAlertAction> weakAction = action;
  connect(button, &QPushButton::clicked, this, [this, weakAction, closesDialog] {
    const std::shared_ptr<QAlertAction> chosen = weakAction.lock();
    if (dismissed_ || !chosen) {
      return;
    }
    if (closesDialog) {
      dismissController();
    }
    if (chosen->handler) {
      chosen->handler(*chosen);
    }
  });
  return true;
}

void QAlertController::loadViewIfNeeded() {
  if (loaded_) {
    return;
  }
  loaded_ = true;
  closeBtn_->setVisible(isShowCloseBtn_);
  // The focus outline lies around the icon, so the icon keeps its place.
  closeBtn_->setGeometry(alertWidth - kCloseBtnInset - kCloseBtnSize - kFocusBorder,
                         kCloseBtnInset - kFocusBorder, kCloseBtnSize + 2 * kFocusBorder,
                         kCloseBtnSize + 2 * kFocusBorder);

  const int contentWidth = alertWidth - 2 * alertPadding;
  QList<QRect> frames;
  int bottom = 0;
  for (const QAlertItem& item : std::as_const(items_)) {
    if (!item.customerView || !item.contentInset) {
      QLog("Alert, loadView, skipped an item without view or top inset");
      continue;
    }
    item.customerView->setParent(this);
    const int top = bottom + static_cast<int>(item.contentInset->top);
    const QRect frame(alertPadding, top, contentWidth, itemHeight(item.customerView, contentWidth));
    frames.append(frame);
    bottom = frame.bottom() + 1;
  }

  int height = actions_.isEmpty() ? bottom + bottomInsetWithoutActions
                                  : bottom + actionTopInset + actionHeight + actionBottomInset;
  const int extra = std::max(0, alertHeight - height);
  height += extra;
  // A dialog shorter than its minimum height gives the spare room to its last item, so the
  // numbers above and below it hold.
  if (!frames.isEmpty()) {
    frames.last().setHeight(frames.last().height() + extra);
    bottom = frames.last().bottom() + 1;
  }
  int index = 0;
  for (const QAlertItem& item : std::as_const(items_)) {
    if (item.customerView && item.contentInset) {
      item.customerView->setGeometry(frames.at(index++));
      item.customerView->show();
    }
  }

  actionStackView_->setVisible(!actions_.isEmpty());
  if (!actions_.isEmpty()) {
    const int count = static_cast<int>(actions_.size());
    const int rowWidth = count * actionWidth + (count - 1) * actionSpacing;
    const int rowTop = height - actionBottomInset - actionHeight;
    actionStackView_->setGeometry((alertWidth - rowWidth) / 2, rowTop, rowWidth, actionHeight);
  }
  closeBtn_->raise();
  setFixedSize(alertWidth, height);
}

void QAlertController::present(QWidget* askingScreen) {
  loadViewIfNeeded();
  if (QSheetOverlay::present(this, askingScreen) == nullptr) {
    setWindowModality(Qt::ApplicationModal);
    show();
  }
  // Enter and the first keyboard focus go to the cancel action, never to one that acts: the
  // dialog picks its first button as the default when it is shown, so that choice is undone.
  const std::shared_ptr<QAlertAction> cancel = cancelAction();
  for (const auto& action : std::as_const(actions_)) {
    if (action->button) {
      action->button->setDefault(action == cancel);
    }
  }
  if (cancel && cancel->button) {
    cancel->button->setFocus(Qt::OtherFocusReason);
  } else {
    setFocus(Qt::OtherFocusReason);
  }
  if (isWindow()) {
    raise();
    activateWindow();
  }
}

QSheetOverlay* QAlertController::overlay() const { return QSheetOverlay::of(this); }

void QAlertController::dismissController() {
  if (dismissed_) {
    return;
  }
  dismissed_ = true;
  hide();
  Q_EMIT dismissed();
  deleteLater();
}

// Escape chooses the cancel action, or else closes a dialog that offers a close button; the
// others need a choice.
void QAlertController::reject() {
  if (const std::shared_ptr<QAlertAction> cancel = cancelAction(); cancel && cancel->button) {
    cancel->button->click();
  } else if (isShowCloseBtn_) {
    dismissController();
  }
}

void QAlertController::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.setPen(ui::lightBorder());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace vexhal
