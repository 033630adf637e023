#include "section/camera_control/QCameraControlVC.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include <ostrane/ostrane.h>

#include "common/Pictures.h"
#include "common/QAlertAction.h"
#include "common/QAlertController.h"
#include "common/QNavigationController.h"
#include "common/UiStyle.h"
#include "device/hid/USBDevice.h"
#include "extension/QHudOverlay.h"
#include "platform/QCameraAccess.h"
#include "section/QHidDelegateLink.h"
#include "section/camera_control/PreviewGridOverlay.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_control/QCameraImageControlVC.h"
#include "section/camera_control/QPresetMenu.h"
#include "section/camera_info/QCameraInfoVC.h"
#include "video/preview/QVideoRenderView.h"

namespace vexhal {

namespace {

using Style = QAlertAction::QAlertActionStyle;

// The pages need 400 points across; the tab bar is 360 wide, centred over them.
constexpr int kPanelWidth = 400;
constexpr int kTabBarWidth = 360;
constexpr int kTabBarHeight = 44;
constexpr int kTabIndicatorWidth = 28;
// The capture asks for the format nearest 1920 x 1080: the preview keeps that shape.
constexpr int kPictureWidth = 16;
constexpr int kPictureHeight = 9;

// The preview on the left with the picture's aspect ratio, as large as the panel's width leaves
// room for, centred in a black column; the panel takes the rest of the width. The whole picture
// shows, since the preview's aspect-fill then crops nothing.
class PreviewBody : public QWidget {
 public:
  PreviewBody(QWidget* preview, QWidget* panel, QWidget* parent)
      : QWidget(parent), preview_(preview), panel_(panel) {
    preview->setParent(this);
    panel->setParent(this);
    setAttribute(Qt::WA_StyledBackground);
    setObjectName(QStringLiteral("previewBody"));
    setStyleSheet(QStringLiteral("#previewBody { background: black; }"));
  }

  QSize minimumSizeHint() const override {
    return {kPanelWidth + 160, std::max(panel_->minimumSizeHint().height(), 90)};
  }
  QSize sizeHint() const override { return minimumSizeHint(); }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    const int free = std::max(0, width() - kPanelWidth);
    const int previewWidth = std::min(free, height() * kPictureWidth / kPictureHeight);
    const int previewHeight = previewWidth * kPictureHeight / kPictureWidth;
    preview_->setGeometry(0, (height() - previewHeight) / 2, previewWidth, previewHeight);
    panel_->setGeometry(previewWidth, 0, width() - previewWidth, height());
  }

 private:
  QWidget* preview_;
  QWidget* panel_;
};

std::shared_ptr<QAlertAction> action(const char* title, Style style,
                                     QAlertAction::Handler handler = nullptr) {
  return std::make_shared<QAlertAction>(QString::fromUtf8(title), style, ui::systemFont(12),
                                        std::move(handler));
}

QPushButton* makeActionButton(const QString& title, bool filled, QWidget* parent) {
  auto* button = new QPushButton(title, parent);
  button->setFixedSize(150, 36);
  button->setCursor(Qt::PointingHandCursor);
  button->setFont(ui::systemFont(13, filled ? QFont::Medium : QFont::Normal));
  const QColor fill = filled ? ui::blueText() : ui::paleFill();
  button->setStyleSheet(
      QStringLiteral("QPushButton { background: %1; color: %2; border: none; "
                     "border-radius: 4px; } QPushButton:pressed { background: %3; }")
          .arg(fill.name(), filled ? QStringLiteral("white") : ui::gray().name(),
               fill.darker(115).name()));
  return button;
}

}  // namespace

QCameraControlVC::QCameraControlVC(std::shared_ptr<USBDevice> device, Platform& platform,
                                   USBHidManager& manager, QDataBase dataBase, QWidget* parent,
                                   QSettingsKeeper* keeper)
    : QViewController("QCameraControlVC", parent),
      device_(std::move(device)),
      platform_(platform),
      manager_(manager),
      dataBase_(std::move(dataBase)),
      keeper_(keeper),
      delegateLink_(std::make_shared<QHidDelegateLink<QCameraControlVC>>(this)),
      session_(platform.captureBackend(), device_ ? device_->locationID() : -1,
               [system = QCameraAccess::system(platform)](const QString& path) {
                 return system.holderOf(path);
               }),
      tapClock_([] { return std::chrono::steady_clock::now(); }) {
  manager.addDelegate(delegateLink_);

  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(makeHeader());
  layout->addWidget(new PreviewBody(makePreviewArea(), makeSettingsPanel(), this), 1);

  // Selecting the image page and then the function page lays both out at once; both pages
  // start reading the camera as soon as they are made.
  tabBtnAction(kImageTab);
  tabBtnAction(kFunctionTab);

  titleLabel_->setText(device_ ? QString::fromStdString(device_->name()) : QString());

  connect(&session_, &PreviewSession::retryDue, this, &QCameraControlVC::startCapture);
  connect(&session_, &PreviewSession::captureStarting, functionControlVC_,
          &QCameraFunctionControlVC::clear4KCapturing);
  connect(&session_, &PreviewSession::noticeChanged, previewNotice_, [this](const QString& notice) {
    previewNotice_->setText(notice);
    previewNotice_->setVisible(!notice.isEmpty());
  });

  QTapThrottle::connect(
      segregatorBtn_, kTapThrottle, [this] { toggleSegregator(); }, [this] { return tapClock_(); });
}

QCameraControlVC::~QCameraControlVC() = default;

QWidget* QCameraControlVC::makeHeader() {
  auto* header = new QWidget(this);
  header->setObjectName(QStringLiteral("controlHeader"));
  header->setFixedHeight(48);
  header->setAttribute(Qt::WA_StyledBackground);
  header->setStyleSheet(
      QStringLiteral("#controlHeader { background: white; border-bottom: 1px solid %1; }")
          .arg(ui::separator().name()));

  backBtn_ = new QToolButton(header);
  backBtn_->setObjectName(QStringLiteral("backBtn"));
  backBtn_->setIcon(pictureIcon(QStringLiteral("icon_back")));
  backBtn_->setIconSize(QSize(16, 16));
  backBtn_->setText(QStringLiteral("Back"));
  backBtn_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ui::styleHeaderButton(backBtn_);
  backBtn_->setCursor(Qt::PointingHandCursor);
  backBtn_->setFont(ui::systemFont(13));
  connect(backBtn_, &QToolButton::clicked, this, &QCameraControlVC::backBtnAction);

  titleLabel_ = new QLabel(header);
  titleLabel_->setFont(ui::systemFont(16, QFont::DemiBold));
  titleLabel_->setTextFormat(Qt::PlainText);
  titleLabel_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::ink().name()));
  titleLabel_->setAlignment(Qt::AlignCenter);

  cameraDetailBtn_ = new QToolButton(header);
  cameraDetailBtn_->setObjectName(QStringLiteral("cameraDetailBtn"));
  cameraDetailBtn_->setText(QStringLiteral("Device info"));
  cameraDetailBtn_->setCursor(Qt::PointingHandCursor);
  cameraDetailBtn_->setFont(ui::systemFont(13));
  ui::styleHeaderButton(cameraDetailBtn_, ui::blueText());
  connect(cameraDetailBtn_, &QToolButton::clicked, this, &QCameraControlVC::cameraDetailBtnAction);

  // The title sits between the buttons, never over them; the two side columns are equally
  // wide, so it stays centred on the header whatever the widths of the buttons.
  auto* row = new QGridLayout(header);
  row->setContentsMargins(12, 0, 12, 0);
  row->addWidget(backBtn_, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
  row->addWidget(titleLabel_, 0, 1);
  row->addWidget(cameraDetailBtn_, 0, 2, Qt::AlignRight | Qt::AlignVCenter);
  const int side = std::max(backBtn_->sizeHint().width(), cameraDetailBtn_->sizeHint().width());
  row->setColumnMinimumWidth(0, side);
  row->setColumnMinimumWidth(2, side);
  row->setColumnStretch(1, 1);
  return header;
}

QWidget* QCameraControlVC::makePreviewArea() {
  previewArea_ = new QWidget(this);
  previewArea_->setObjectName(QStringLiteral("previewArea"));
  previewArea_->setAttribute(Qt::WA_StyledBackground);
  previewArea_->setStyleSheet(QStringLiteral("#previewArea { background: black; }"));
  auto* stack = new QGridLayout(previewArea_);
  stack->setContentsMargins(0, 0, 0, 0);

  preView_ = new video::QVideoRenderView(previewArea_);
  segregatorImg_ = new PreviewGridOverlay(previewArea_);
  segregatorImg_->hide();
  previewNotice_ = new QLabel(previewArea_);
  previewNotice_->setObjectName(QStringLiteral("previewNotice"));
  previewNotice_->setTextFormat(Qt::PlainText);
  previewNotice_->setFont(ui::systemFont(14));
  previewNotice_->setStyleSheet(QStringLiteral("color: white;"));
  previewNotice_->hide();
  segregatorBtn_ = new QToolButton(previewArea_);
  segregatorBtn_->setObjectName(QStringLiteral("segregatorBtn"));
  segregatorBtn_->setIcon(pictureIcon(QStringLiteral("control_open")));
  segregatorBtn_->setIconSize(QSize(32, 32));
  segregatorBtn_->setAutoRaise(true);
  segregatorBtn_->setCursor(Qt::PointingHandCursor);
  segregatorBtn_->setToolTip(QStringLiteral("Framing guide"));

  stack->addWidget(preView_, 0, 0);
  stack->addWidget(segregatorImg_, 0, 0);
  stack->addWidget(previewNotice_, 0, 0, Qt::AlignCenter);
  auto* corner = new QVBoxLayout;
  corner->setContentsMargins(0, 0, 12, 12);
  corner->addStretch(1);
  corner->addWidget(segregatorBtn_, 0, Qt::AlignRight);
  stack->addLayout(corner, 0, 0);
  return previewArea_;
}

QWidget* QCameraControlVC::makeSettingsPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("settingsPanel"));
  panel->setMinimumWidth(kPanelWidth);
  panel->setAttribute(Qt::WA_StyledBackground);
  // The pages' scroll areas show white behind their content, with a thumb that shows on white.
  panel->setStyleSheet(
      QStringLiteral("#settingsPanel { background: white; border-left: 1px solid %1; }"
                     " #qt_scrollarea_viewport,"
                     " #qt_scrollarea_viewport > QWidget { background: white; }")
          .arg(ui::separator().name()) +
      ui::whiteScrollBarStyleSheet());

  // Two equal tab buttons across the panel; the indicator sits under the selected one.
  auto* tabBar = new QWidget(panel);
  tabBar->setFixedSize(kTabBarWidth, kTabBarHeight);
  const QString titles[2] = {QStringLiteral("Function"), QStringLiteral("Image")};
  for (int tag : {kFunctionTab, kImageTab}) {
    auto* button = new QPushButton(titles[tag], tabBar);
    button->setObjectName(tag == kFunctionTab ? QStringLiteral("hidBtn")
                                              : QStringLiteral("uvcBtn"));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(tag * kTabBarWidth / 2, 0, kTabBarWidth / 2, kTabBarHeight - 2);
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; color: %1; }").arg(ui::ink().name()));
    connect(button, &QPushButton::clicked, this, [this, tag] { tabBtnAction(tag); });
    tabBtns_[tag] = button;
  }
  tabIndicator_ = new QWidget(tabBar);
  tabIndicator_->setObjectName(QStringLiteral("tabIndicator"));
  tabIndicator_->setAttribute(Qt::WA_StyledBackground);
  tabIndicator_->setStyleSheet(
      QStringLiteral("#tabIndicator { background: %1; border-radius: 1px; }")
          .arg(ui::blue().name()));
  tabIndicator_->setFixedSize(kTabIndicatorWidth, 3);

  functionControlVC_ = new QCameraFunctionControlVC(device_, platform_.scheduler(), panel);
  imageControlVC_ = new QCameraImageControlVC(device_, platform_.uvcTransportFactory(), dataBase_,
                                              panel, keeper_);
  // The presets of the camera's model, kept beside the image settings.
  presetMenu_ = new QPresetMenu(
      imageControlVC_->presetsBtn(), functionControlVC_, imageControlVC_,
      QPresetStore(QPresetStore::modelKey(device_ ? device_->vendorId() : 0,
                                          device_ ? device_->productId() : 0),
                   dataBase_.fileName()),
      platform_.scheduler(), [this](QAlertController* alert) { present(alert); }, this);
  tabView_ = new QStackedWidget(panel);
  tabView_->addWidget(functionControlVC_);
  tabView_->addWidget(imageControlVC_);

  resetBtn_ = makeActionButton(QStringLiteral("Reset"), false, panel);
  resetBtn_->setObjectName(QStringLiteral("resetBtn"));
  connect(resetBtn_, &QPushButton::clicked, this, &QCameraControlVC::resetBtnAction);
  saveBtn_ = makeActionButton(QStringLiteral("Save"), true, panel);
  saveBtn_->setObjectName(QStringLiteral("saveBtn"));
  connect(saveBtn_, &QPushButton::clicked, this, &QCameraControlVC::saveBtnAction);
  auto* buttons = new QHBoxLayout;
  // 8 above: at the smallest window the function page's rows still fit without scrolling.
  buttons->setContentsMargins(20, 8, 20, 16);
  buttons->setSpacing(20);
  buttons->addWidget(resetBtn_);
  buttons->addWidget(saveBtn_);

  auto* separator = new QWidget(panel);
  separator->setFixedHeight(1);
  separator->setAttribute(Qt::WA_StyledBackground);
  separator->setStyleSheet(QStringLiteral("background: %1;").arg(ui::separator().name()));

  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(1, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(tabBar, 0, Qt::AlignHCenter);
  column->addWidget(separator);
  column->addWidget(tabView_, 1);
  column->addLayout(buttons);
  return panel;
}

int QCameraControlVC::selectedTab() const { return tabView_->currentIndex(); }

QList<QAlertController*> QCameraControlVC::presentedAlerts() const {
  QList<QAlertController*> shown;
  for (const QPointer<QAlertController>& alert : alerts_) {
    if (alert && !alert->isDismissed()) {
      shown.append(alert);
    }
  }
  return shown;
}

void QCameraControlVC::showEvent(QShowEvent* event) {
  QViewController::showEvent(event);
  startCapture();
}

void QCameraControlVC::hideEvent(QHideEvent* event) {
  QViewController::hideEvent(event);
  stopCapture();
}

void QCameraControlVC::startCapture() {
  QLog("CameraControl, startCapture(_:)");
  // A new preview for each start, so no frame of an earlier capture lingers on it.
  auto* fresh = new video::QVideoRenderView(previewArea_);
  fresh->renderMode = video::QRtcViewMode::scaleAspectFill;
  fresh->renderView()->renderMode = video::QRtcViewMode::scaleAspectFill;
  fresh->renderView()->applyRenderMode();
  fresh->mirrorMode = video::QVideoMirrorMode::disabled;
  fresh->applyTransform();
  auto* stack = static_cast<QGridLayout*>(previewArea_->layout());
  delete stack->replaceWidget(preView_, fresh);  // the old view's layout item is ours to free
  session_.start(fresh->renderView()->handle());
  delete preView_;
  preView_ = fresh;
  segregatorImg_->raise();
  previewNotice_->raise();
  segregatorBtn_->raise();
}

void QCameraControlVC::stopCapture() {
  QLog("CameraControl, stopCapture()");
  session_.stop();
}

void QCameraControlVC::toggleSegregator() {
  const bool shown = segregatorImg_->isHidden();
  segregatorImg_->setVisible(shown);
  segregatorBtn_->setIcon(
      pictureIcon(shown ? QStringLiteral("control_close") : QStringLiteral("control_open")));
}

void QCameraControlVC::tabBtnAction(int tag) {
  if (tag != kFunctionTab && tag != kImageTab) {
    return;
  }
  tabView_->setCurrentIndex(tag);
  for (int other : {kFunctionTab, kImageTab}) {
    tabBtns_[other]->setFont(ui::systemFont(14, other == tag ? QFont::Medium : QFont::Normal));
  }
  tabIndicator_->move(kTabIndicatorX[tag], kTabBarHeight - tabIndicator_->height());
}

void QCameraControlVC::present(QAlertController* alert) {
  alerts_.removeAll(nullptr);
  alerts_.append(alert);
  alert->present(this);
}

void QCameraControlVC::saveBtnAction() {
  QLog("CameraControl, saveBtnAction(_:)");
  confirm(saveQuestionText(), &QCameraControlVC::saveParams);
}

// A dialog with "Cancel", which does nothing, and "Confirm", which runs `confirmed` if the
// screen still exists.
void QCameraControlVC::confirm(const QString& message, void (QCameraControlVC::*confirmed)()) {
  auto* alert = new QAlertController(std::nullopt, message);
  alert->addAction(action("Cancel", Style::grayFilled), true);
  alert->addAction(action("Confirm", Style::blueFilled,
                          [self = QPointer(this), confirmed](QAlertAction&) {
                            if (self) (self->*confirmed)();
                          }),
                   true);
  present(alert);
}

void QCameraControlVC::saveParams() {
  QLog("CameraControl, saveParams()");
  if (!device_) {
    return;
  }
  // The working copy as it is now: with "Save and Exit" the pages are gone before the camera's
  // serial number or its save reply arrives. A record that could not be stored fails the save.
  auto stored = std::make_shared<bool>(true);
  if (const std::optional<QUVCParams>& working = imageControlVC_->model().changeCameraParams()) {
    // The keeper reads the new record as soon as it is stored, also when the page has gone.
    const std::optional<std::uint32_t> location = device_->controlLocation();
    const auto store = [dataBase = dataBase_, params = *working, stored, keeper = keeper_,
                        location](const QString& key) {
      *stored = dataBase.setUVCParams(params, key);
      if (!*stored) QLog("CameraControl, saveParams(), image settings not stored");
      if (*stored && keeper && location) keeper->holdToRecord(*location);
    };
    if (const std::optional<QString> known = QDataBase::storageKey(device_->serialNumber())) {
      store(*known);
    } else {
      device_->getSerialNumber([store](std::int64_t, const std::optional<std::string>& text) {
        if (const std::optional<QString> key = QDataBase::storageKey(text)) store(*key);
      });
    }
  }
  QPointer<QWidget> window = this->window();
  device_->saveUVC([self = QPointer(this), window, stored,
                    scheduler = platform_.scheduler()](std::int64_t code) {
    QLog("CameraControl, saveParams(), code", code);
    const bool saved = code == 0 && *stored;
    QHudOverlay::showToast(window,
                           saved ? QStringLiteral("Successfully saved")
                                 : QStringLiteral("Save failed,please try it again"),
                           scheduler);
    if (saved && self) {
      self->functionControlVC_->markSaved();
      self->imageControlVC_->markSaved();
    }
  });
}

void QCameraControlVC::resetBtnAction() {
  QLog("CameraControl, resetBtnAction(_:)");
  confirm(QStringLiteral("Reset parameters?"), &QCameraControlVC::resetParams);
}

void QCameraControlVC::resetParams() {
  QLog("CameraControl, resetParams()");
  functionControlVC_->resetParams();
  imageControlVC_->resetParams(QUVCParams::ImageMode::standard, QUVCParams::defaultParams());
  imageControlVC_->resetFurther();
}

bool QCameraControlVC::hasUnsavedChanges() const {
  return functionControlVC_->model().hasChanges() || imageControlVC_->model().hasChanges();
}

void QCameraControlVC::backBtnAction() {
  if (!hasUnsavedChanges()) {
    QLog("CameraControl, backBtnAction(_:), true");
    popScreen();
    return;
  }
  QLog("CameraControl, backBtnAction(_:), false");
  auto* alert = new QAlertController(
      QStringLiteral("Notice"), QStringLiteral("Settings unsaved. Exit?"), Qt::AlignHCenter, true);
  alert->addAction(action("Exit", Style::grayFilled,
                          [self = QPointer(this)](QAlertAction&) {
                            if (!self) return;
                            self->functionControlVC_->restoreParams();
                            self->imageControlVC_->restoreParams();
                            self->popScreen();
                          }),
                   true);
  alert->addAction(action("Save and Exit", Style::blueFilled,
                          [self = QPointer(this)](QAlertAction&) {
                            if (!self) return;
                            self->saveParams();
                            self->popScreen();
                          }),
                   true);
  present(alert);
}

void QCameraControlVC::popScreen() {
  if (QNavigationController* navigation = navigationController()) {
    navigation->pop(false);
  }
}

void QCameraControlVC::cameraDetailBtnAction() {
  QLog("CameraControl, cameraDetailBtnAction(_:)");
  // The control screen stays on the stack beneath the info screen.
  if (QNavigationController* navigation = navigationController()) {
    navigation->push(new QCameraInfoVC(device_, platform_, manager_), false);
  }
}

void QCameraControlVC::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device) {
  if (!device || !device_ || device->locationID() != device_->locationID() ||
      platform_.firmwareInstalling()) {
    return;
  }
  QNavigationController* navigation = navigationController();
  if (navigation == nullptr || navigation->topViewController() != this) {
    return;
  }
  QLog("CameraControl, usbHidManager(_:didRemove:), " + device->name());
  for (QAlertController* alert : presentedAlerts()) {
    alert->dismissController();
  }
  navigation->popToRoot(false);
}

}  // namespace vexhal
