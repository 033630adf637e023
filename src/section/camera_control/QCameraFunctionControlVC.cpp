#include "section/camera_control/QCameraFunctionControlVC.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "common/UiStyle.h"
#include "device/hid/USBDevice.h"
#include "extension/QHudOverlay.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"
#include "common/QParagraphLabel.h"
#include "section/camera_control/PageScrollArea.h"
#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QHIDFieldCommands.h"

namespace vexhal {

namespace {

using Field = QHIDSetting::Field;

// A row of the page: a title on the left and its control on the right.
QWidget* makeRow(const QString& title, QWidget* control, int indent = 0) {
  auto* row = new QWidget;
  row->setFixedHeight(QCameraFunctionControlVC::kRowHeight);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(16 + indent, 0, 16, 0);
  if (!title.isEmpty()) {
    auto* label = new QLabel(title);
    label->setFont(ui::systemFont(14));
    layout->addWidget(label);
  }
  layout->addStretch(1);
  if (control != nullptr) {
    layout->addWidget(control);
  }
  return row;
}

QRadioButton* makeRadio(const QString& title) {
  auto* button = new QRadioButton(title);
  // Exclusivity is the page's business: a click on the selected button must reach it.
  button->setAutoExclusive(false);
  button->setFont(ui::systemFont(14));
  return button;
}

}  // namespace

const QString& QCameraFunctionControlVC::fourKNoticeText() {
  static const QString text = QString::fromUtf8(
      "Other apps are using 4k images, \n\"Roomwise AI\" and  \"60° FOV\" not able\nto use.");
  return text;
}

QCameraFunctionControlVC::QCameraFunctionControlVC(const std::shared_ptr<USBDevice>& device,
                                                   Scheduler scheduler, QWidget* parent)
    : QViewController("QCameraFunctionControlVC", parent),
      device_(device),
      scheduler_(std::move(scheduler)) {
  buildView();
  load();
}

void QCameraFunctionControlVC::buildView() {
  content_ = new QWidget;
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  intelligentSwitch_ = new QSwitch;
  column->addWidget(makeRow(QStringLiteral("Roomwise AI"), intelligentSwitch_));

  autoFramingGroup_ = new QWidget;
  auto* group = new QVBoxLayout(autoFramingGroup_);
  group->setContentsMargins(0, 0, 0, 0);
  group->setSpacing(0);
  autoFramingBtn_ = makeRadio(QStringLiteral("Auto framing"));
  group->addWidget(makeRow(QString(), autoFramingBtn_, 0));
  meetingModeBtn_ = makeRadio(QStringLiteral("Meeting mode"));
  singleModeBtn_ = makeRadio(QStringLiteral("Single-person mode"));
  modeButtonsRow_ = new QWidget;
  modeButtonsRow_->setFixedHeight(kRowHeight);
  auto* modes = new QHBoxLayout(modeButtonsRow_);
  modes->setContentsMargins(48, 0, 16, 0);
  modes->addWidget(meetingModeBtn_);
  modes->addWidget(singleModeBtn_);
  modes->addStretch(1);
  group->addWidget(modeButtonsRow_);
  column->addWidget(autoFramingGroup_);

  pepleBoxBtn_ = makeRadio(QStringLiteral("People box"));
  peopleBoxRow_ = makeRow(QString(), pepleBoxBtn_);
  column->addWidget(peopleBoxRow_);

  angleSegment_ = new QSegmentedControl;
  angleSegment_->setItems(cameraparams::angleItems());
  angleSegment_->setSelectedIndex(2);
  column->addWidget(makeRow(QStringLiteral("Field of view"), angleSegment_));

  hMirrorSwitch_ = new QSwitch;
  column->addWidget(makeRow(QStringLiteral("Mirror"), hMirrorSwitch_));

  pickupSegment_ = new QSegmentedControl;
  pickupSegment_->setItems(cameraparams::pickupItems());
  pickupSegment_->setSelectedIndex(1);
  column->addWidget(makeRow(QStringLiteral("Pick-up range"), pickupSegment_));
  column->addStretch(1);

  scrollArea_ = fillWithScrollArea(this, content_);
  // Nothing can be changed before the camera's values are in.
  content_->setEnabled(false);

  connect(intelligentSwitch_, &QAbstractButton::clicked, this,
          &QCameraFunctionControlVC::intelligentSwitchAction);
  connect(autoFramingBtn_, &QAbstractButton::clicked, this,
          &QCameraFunctionControlVC::autoFramingBtnAction);
  connect(pepleBoxBtn_, &QAbstractButton::clicked, this,
          &QCameraFunctionControlVC::pepleBoxBtnAction);
  connect(meetingModeBtn_, &QAbstractButton::clicked, this,
          [this] { modeBtnAction(meetingModeBtn_, 0); });
  connect(singleModeBtn_, &QAbstractButton::clicked, this,
          [this] { modeBtnAction(singleModeBtn_, 1); });
  connect(angleSegment_, &QSegmentedControl::segmentSelected, this,
          &QCameraFunctionControlVC::angleSegmentAction);
  connect(pickupSegment_, &QSegmentedControl::segmentSelected, this,
          &QCameraFunctionControlVC::pickupSegmentAction);
  connect(hMirrorSwitch_, &QAbstractButton::clicked, this,
          &QCameraFunctionControlVC::hMirrorSwitchAction);
}

void QCameraFunctionControlVC::load() {
  model_.beginLoad();
  const std::shared_ptr<USBDevice> device = device_.lock();
  if (!device) {
    return;
  }
  // Each reply is stored whatever its code: a failed read gives 0 or false. The load ends when
  // all six have answered or failed, in whatever order they come.
  const QPointer<QCameraFunctionControlVC> page(this);
  const auto store = [page](Field field, std::int64_t value) {
    if (page && page->model_.storeLoaded(field, value)) {
      page->applyParams(*page->model_.changeCameraParams());
      page->content_->setEnabled(true);
    }
  };
  const auto storeFlag = [store](Field field) {
    return [store, field](std::int64_t, bool value) { store(field, value ? 1 : 0); };
  };
  const auto storeValue = [store](Field field) {
    return [store, field](std::int64_t, std::int64_t value) { store(field, value); };
  };
  device->getAutoFraming(storeFlag(Field::autoFraming));
  device->getAutoFramingMode(storeValue(Field::autoFramingMode));
  device->getFrameMaster(storeFlag(Field::frameMaster));
  device->getAngle([store](std::int64_t, std::int64_t value) {
    qDebug().noquote() << "HIDDevice, angle" << value;
    store(Field::angle, value);
  });
  device->getHMirror(storeFlag(Field::hMirror));
  device->getPickup(storeValue(Field::pickup));
}

void QCameraFunctionControlVC::applyParams(const QHIDParams& params) {
  const bool intelligent = params.isIntelligent();
  intelligentSwitch_->setChecked(intelligent);
  autoFramingGroup_->setVisible(intelligent);
  peopleBoxRow_->setVisible(intelligent);
  autoFramingBtn_->setChecked(params.autoFraming);
  modeButtonsRow_->setVisible(params.autoFraming);
  meetingModeBtn_->setChecked(params.autoFramingMode == 0);
  singleModeBtn_->setChecked(params.autoFramingMode == 1);
  pepleBoxBtn_->setChecked(params.frameMaster);
  angleSegment_->setSelectedIndex(cameraparams::itemForAngle(params.angle));
  angleSegment_->setEnabled(!intelligent);
  hMirrorSwitch_->setChecked(params.hMirror);
  pickupSegment_->setSelectedIndex(cameraparams::itemForPickup(params.pickup));
  if (rowsHeight() != content_->minimumHeight()) {
    relayoutLater();
  }
}

void QCameraFunctionControlVC::send(const QFunctionControlModel::Commands& commands) {
  const std::shared_ptr<USBDevice> device = device_.lock();
  if (!device) {
    return;
  }
  // Fire and forget: the working copy keeps what was asked for.
  const auto ignore = [](std::int64_t) {};
  for (const QHIDSetting& command : commands) {
    hidfields::write(*device, command, ignore);
  }
}

void QCameraFunctionControlVC::sendAndShow(const QFunctionControlModel::Commands& commands) {
  send(commands);
  if (model_.isLoaded()) {
    applyParams(*model_.changeCameraParams());
  }
}

int QCameraFunctionControlVC::contentHeight() const { return content_->minimumHeight(); }

int QCameraFunctionControlVC::rowsHeight() const {
  // Intelligent framing, field of view, mirror and pick-up always show; no blank tail below.
  int rows = 4;
  if (!autoFramingGroup_->isHidden()) rows += modeButtonsRow_->isHidden() ? 1 : 2;
  if (!peopleBoxRow_->isHidden()) rows += 1;
  return rows * kRowHeight;
}

void QCameraFunctionControlVC::relayoutLater() {
  // Rows have just been shown or hidden; lay out once the layouts have caught up. The page
  // stays scrolled where the user left it.
  QTimer::singleShot(10, this, [this] { content_->setMinimumHeight(rowsHeight()); });
}

void QCameraFunctionControlVC::show4KNotice() {
  QProgressHUD* hud = QHudOverlay::showToast(window(), fourKNoticeText(), scheduler_, 2.0);
  if (hud == nullptr) {
    return;
  }
  if (auto* toast = qobject_cast<QToastView*>(hud->customView())) {
    toast->label()->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  }
}

void QCameraFunctionControlVC::intelligentSwitchAction(bool on) {
  if (!model_.isLoaded()) {
    intelligentSwitch_->setChecked(!on);
    return;
  }
  sendAndShow(model_.setIntelligent(on));
  if (on && model_.is4KCapturing()) {
    show4KNotice();
  }
}

void QCameraFunctionControlVC::autoFramingBtnAction() {
  if (!autoFramingBtn_->isChecked()) {
    autoFramingBtn_->setChecked(true);
    return;
  }
  sendAndShow(model_.chooseAutoFraming());
}

void QCameraFunctionControlVC::pepleBoxBtnAction() {
  if (!pepleBoxBtn_->isChecked()) {
    pepleBoxBtn_->setChecked(true);
    return;
  }
  sendAndShow(model_.choosePeopleBox());
}

void QCameraFunctionControlVC::modeBtnAction(QRadioButton* button, std::int64_t tag) {
  if (!button->isChecked()) {
    button->setChecked(true);
    return;
  }
  sendAndShow(model_.chooseFramingMode(tag));
}

void QCameraFunctionControlVC::angleSegmentAction(int item) {
  QLog("CameraControl, angleSegmentBlock, " + std::to_string(item));
  sendAndShow(model_.chooseAngleItem(item));
  if (model_.is4KCapturing() && item == 0) {
    show4KNotice();
  }
}

void QCameraFunctionControlVC::pickupSegmentAction(int item) {
  sendAndShow(model_.choosePickupItem(item));
}

void QCameraFunctionControlVC::hMirrorSwitchAction(bool on) {
  QLog(std::string("CameraControl, hMirrorSwitchAction(_:), ") + (on ? "true" : "false"));
  sendAndShow(model_.setMirror(on));
}

void QCameraFunctionControlVC::resetParams() {
  QLog("CameraControl, resetParams()");
  sendAndShow(model_.reset());
}

void QCameraFunctionControlVC::restoreParams() { send(model_.restore()); }

void QCameraFunctionControlVC::applyPreset(const QHIDParams& functions) {
  QLog("CameraControl, applyPreset(functions)");
  sendAndShow(model_.applyParams(functions));
}

void QCameraFunctionControlVC::markSaved() { model_.markSaved(); }

void QCameraFunctionControlVC::handleCaptureInfo(bool capturing4K) {
  if (model_.updateCaptureInfo(capturing4K)) {
    show4KNotice();
  }
}

}  // namespace vexhal
