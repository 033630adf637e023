#include "section/camera_control/QCameraImageControlVC.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include <algorithm>
#include <string>

#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "common/UiStyle.h"
#include "device/hid/USBDevice.h"
#include "section/camera_control/PageScrollArea.h"
#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QUVCControlCommands.h"

namespace vexhal {

namespace {

using Control = QUVCSetting::Control;

std::size_t indexOf(Control control) { return static_cast<std::size_t>(control); }

const char* titleOf(Control control) {
  switch (control) {
    case Control::brightness:
      return "Brightness";
    case Control::contrast:
      return "Contrast";
    case Control::saturation:
      return "Saturation";
    case Control::sharpness:
      return "Sharpness";
  }
  return "";
}

const char* actionNameOf(Control control) {
  switch (control) {
    case Control::brightness:
      return "CameraControl, brightnessSliderAction(), ";
    case Control::contrast:
      return "CameraControl, contrastSliderAction(), ";
    case Control::saturation:
      return "CameraControl, saturationSliderAction(), ";
    case Control::sharpness:
      return "CameraControl, sharpnessSliderAction(), ";
  }
  return "";
}

}  // namespace

QCameraImageControlVC::QCameraImageControlVC(const std::shared_ptr<USBDevice>& device,
                                             UVCTransportFactory& uvcFactory, QDataBase database,
                                             QWidget* parent, QSettingsKeeper* keeper)
    : QViewController("QCameraImageControlVC", parent),
      device_(device),
      uvcFactory_(uvcFactory),
      database_(std::move(database)),
      keeper_(keeper),
      retryTimer_(new QTimer(this)) {
  retryTimer_->setSingleShot(true);
  retryTimer_->setInterval(kRetryInterval);
  connect(retryTimer_, &QTimer::timeout, this, &QCameraImageControlVC::load);
  buildView();
  load();
  showKeepSwitch();
}

QCameraImageControlVC::~QCameraImageControlVC() {
  if (keeper_ && location_) {
    keeper_->holdToRecord(*location_);
  }
}

void QCameraImageControlVC::buildView() {
  content_ = new QWidget;
  auto* grid = new QGridLayout(content_);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setVerticalSpacing(20);

  imageModeSegment_ = new QSegmentedControl;
  imageModeSegment_->setItems(QUVCParams::modeLabels());
  imageModeSegment_->setSelectedIndex(
      static_cast<int>(QUVCParams::rawValue(QUVCParams::ImageMode::standard)));
  grid->addWidget(imageModeSegment_, 0, 0, 1, 3);

  int row = 1;
  for (const Control control : QImageControlModel::kControls) {
    auto* title = new QLabel(QString::fromLatin1(titleOf(control)));
    title->setFont(ui::systemFont(14));
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, cameraparams::kSliderMaximum);
    slider->setValue(cameraparams::positionForUvcValue(128));
    auto* label = new QLabel(cameraparams::positionLabel(slider->value()));
    label->setFont(ui::systemFont(14));
    label->setMinimumWidth(40);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(title, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(label, row, 2);
    sliders_[indexOf(control)] = slider;
    labels_[indexOf(control)] = label;
    connect(slider, &QSlider::valueChanged, this, [this, control] { sliderValueChanged(control); });
    connect(slider, &QSlider::sliderReleased, this, [this, control] { sliderAction(control); });
    ++row;
  }

  // The keep switch: a title with a line under it that says what the switch does, or why it
  // cannot be used yet.
  auto* keepText = new QWidget;
  auto* keepColumn = new QVBoxLayout(keepText);
  keepColumn->setContentsMargins(0, 0, 0, 0);
  keepColumn->setSpacing(2);
  auto* keepTitle = new QLabel(QStringLiteral("Keep my image settings"));
  keepTitle->setFont(ui::systemFont(14));
  keepHint_ = new QLabel;
  keepHint_->setFont(ui::systemFont(12));
  keepHint_->setWordWrap(true);
  QPalette hintPalette = keepHint_->palette();
  hintPalette.setColor(QPalette::WindowText, ui::gray());
  keepHint_->setPalette(hintPalette);
  keepColumn->addWidget(keepTitle);
  keepColumn->addWidget(keepHint_);
  keepSwitch_ = new QSwitch;
  grid->addWidget(keepText, row, 0, 1, 2);
  grid->addWidget(keepSwitch_, row, 2, Qt::AlignRight | Qt::AlignVCenter);
  ++row;
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  scrollArea_ = fillWithScrollArea(this, content_);

  connect(imageModeSegment_, &QSegmentedControl::segmentSelected, this, [this](int item) {
    QLog("CameraControl, SegmentBlock, " + std::to_string(item));
    const QUVCParams::ImageMode mode = cameraparams::imageModeForItem(item);
    resetParams(mode, QUVCParams::preset(mode));
  });
  connect(keepSwitch_, &QAbstractButton::clicked, this, &QCameraImageControlVC::keepSwitchAction);
}

std::optional<QString> QCameraImageControlVC::serialNumber() const {
  const std::shared_ptr<USBDevice> device = device_.lock();
  return device ? QDataBase::storageKey(device->serialNumber()) : std::nullopt;
}

void QCameraImageControlVC::load() {
  const std::shared_ptr<USBDevice> device = device_.lock();
  location_ = device ? device->controlLocation() : std::nullopt;
  if (!location_) {
    QLog("CameraControl, image controls unavailable: no camera location");
    content_->setEnabled(false);
    return;
  }
  const bool firstTry = !cameraControl_;
  cameraControl_.emplace(*location_, uvcFactory_);
  if (!cameraControl_->hasInterface()) {
    // Without the camera's video-control channel every read would give 0: leave the page
    // disabled and without a working copy, so nothing counts as changed, until the channel
    // appears (its video node can come after the HID side).
    if (firstTry) {
      QLog("CameraControl, image controls unavailable: no video-control channel");
    }
    content_->setEnabled(false);
    retryTimer_->start();
    return;
  }
  send(model_.load(uvccontrols::read(*cameraControl_),
                   database_.findUVCParams(device->serialNumber())));
  const QUVCParams& loaded = *model_.cameraParams();
  updatingControls_ = true;
  imageModeSegment_->setSelectedIndex(static_cast<int>(QUVCParams::rawValue(loaded.mode)));
  for (const Control control : QImageControlModel::kControls) {
    showValue(control, controlValue(loaded, control));
  }
  updatingControls_ = false;
  content_->setEnabled(true);
}

void QCameraImageControlVC::send(const QImageControlModel::Commands& commands) {
  if (!cameraControl_) {
    return;
  }
  if (keeper_ && location_ && model_.isLoaded()) {
    keeper_->holdTo(*location_, *model_.changeCameraParams());
  }
  // The result is ignored: the control layer logs failures and the working copy keeps what was
  // asked for.
  for (const QUVCSetting& command : commands) {
    uvccontrols::write(*cameraControl_, command);
  }
}

void QCameraImageControlVC::sendAndShow(const QImageControlModel::Commands& commands) {
  send(commands);
  if (!model_.isLoaded()) {
    return;
  }
  updatingControls_ = true;
  imageModeSegment_->setSelectedIndex(
      static_cast<int>(QUVCParams::rawValue(model_.changeCameraParams()->mode)));
  for (const QUVCSetting& command : commands) {
    showValue(command.control, command.value);
  }
  updatingControls_ = false;
}

void QCameraImageControlVC::showValue(Control control, std::int64_t value) {
  const int position = cameraparams::positionForUvcValue(value);
  sliders_[indexOf(control)]->setValue(position);
  labels_[indexOf(control)]->setText(cameraparams::positionLabel(position));
}

void QCameraImageControlVC::sliderValueChanged(Control control) {
  QSlider* slider = sliders_[indexOf(control)];
  labels_[indexOf(control)]->setText(cameraparams::positionLabel(slider->value()));
  if (updatingControls_) {
    return;
  }
  // The user moves the slider: the values no longer follow a preset.
  model_.sliderMoving();
  imageModeSegment_->setSelectedIndex(
      static_cast<int>(QUVCParams::rawValue(QUVCParams::ImageMode::custom)));
  // A tap on the track, a key or the wheel moves it without a drag: that is its release too.
  if (!slider->isSliderDown()) {
    sliderAction(control);
  }
}

void QCameraImageControlVC::sliderAction(Control control) {
  const int position = sliders_[indexOf(control)]->value();
  QLog(actionNameOf(control) + std::to_string(position));
  send(model_.sliderReleased(control, position));
}

void QCameraImageControlVC::resetParams(QUVCParams::ImageMode mode, const QUVCParams& values) {
  QLog("CameraControl, resetParams(mode:brightness:contrast:saturation:sharpness:)");
  sendAndShow(model_.resetParams(mode, values));
}

void QCameraImageControlVC::restoreParams() { send(model_.restore()); }

bool QCameraImageControlVC::storeSettings(const QString& serialNumber) {
  if (!model_.changeCameraParams() || serialNumber.isEmpty()) {
    return false;
  }
  return database_.setUVCParams(*model_.changeCameraParams(), serialNumber);
}

void QCameraImageControlVC::markSaved() {
  model_.markSaved();
  // The record has been stored with the save: the switch can be used now.
  showKeepSwitch();
}

void QCameraImageControlVC::showKeepSwitch() {
  const std::shared_ptr<USBDevice> device = device_.lock();
  const std::optional<QString> key = serialNumber();
  // Without a stored record there is nothing to keep: the switch shows off, and the line under
  // it says how to get one.
  const bool stored = key && database_.findUVCParams(device->serialNumber());
  keepSwitch_->setEnabled(stored);
  keepSwitch_->setChecked(
      stored && (keeper_ ? keeper_->isKeeping(*key) : database_.keepsImageSettings(*key)));
  keepHint_->setText(stored ? QStringLiteral("Put back when another program changes them")
                            : QStringLiteral("Save the settings first to keep them"));
}

void QCameraImageControlVC::keepSwitchAction(bool keep) {
  QLog(std::string("CameraControl, keepSwitchAction(), ") + (keep ? "1" : "0"));
  const std::optional<QString> key = serialNumber();
  const bool stored = key && (keeper_ ? keeper_->setKeeping(*key, keep)
                                      : database_.setKeepsImageSettings(*key, keep));
  if (!stored) {
    QLog("CameraControl, keep switch not stored");
    keepSwitch_->setChecked(!keep);
  }
}

QSlider* QCameraImageControlVC::slider(Control control) const { return sliders_[indexOf(control)]; }

QLabel* QCameraImageControlVC::label(Control control) const { return labels_[indexOf(control)]; }

int QCameraImageControlVC::contentHeight() const { return content_->minimumHeight(); }

void QCameraImageControlVC::showEvent(QShowEvent* event) {
  QViewController::showEvent(event);
  // The serial number or a record can have come since the page was made.
  showKeepSwitch();
  if (!isFirstLoad_) {
    return;
  }
  isFirstLoad_ = false;
  QTimer::singleShot(10, this, [this] {
    // Never below what the rows need, so that none is squeezed over another.
    content_->setMinimumHeight(std::max(kContentHeight, content_->minimumSizeHint().height()));
    scrollArea_->verticalScrollBar()->setValue(0);
  });
}

}  // namespace vexhal
