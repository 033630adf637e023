#include "section/camera_control/QCameraImageControlVC.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <ostrane/ostrane.h>

#include <linux/videodev2.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "common/QSegmentedControl.h"
#include "common/QSwitch.h"
#include "common/UiStyle.h"
#include "device/hid/USBDevice.h"
#include "section/camera_control/PageScrollArea.h"
#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QFurtherControlsSection.h"
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

// Whether setting `id` can make other controls of `controls` active or inactive.
bool isAutomaticMode(std::uint32_t id, const std::vector<VideoControl>& controls) {
  return std::any_of(controls.begin(), controls.end(), [id](const VideoControl& control) {
    return owningAutomaticControl(control.id) == id;
  });
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
  presetsBtn_ = new QToolButton;
  presetsBtn_->setObjectName(QStringLiteral("presetsBtn"));
  presetsBtn_->setText(QStringLiteral("Presets"));
  presetsBtn_->setFont(ui::systemFont(13));
  presetsBtn_->setCursor(Qt::PointingHandCursor);
  presetsBtn_->setEnabled(false);
  ui::styleHeaderButton(presetsBtn_, ui::blueText());
  auto* modeRow = new QHBoxLayout;
  modeRow->setSpacing(8);
  modeRow->addWidget(imageModeSegment_, 1);
  modeRow->addWidget(presetsBtn_);
  grid->addLayout(modeRow, 0, 0, 1, 3);

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
  more_ = new QFurtherControlsSection;
  grid->addWidget(more_, row, 0, 1, 3);
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
  connect(more_, &QFurtherControlsSection::valueChosen, this,
          &QCameraImageControlVC::furtherChosen);
  connect(more_->header(), &QToolButton::toggled, this, [this] {
    // Laid out first, so that the content's new minimum height is known; an opened section
    // is scrolled into view.
    QTimer::singleShot(0, this, [this] {
      fitContent();
      if (more_->isOpen()) {
        scrollArea_->ensureWidgetVisible(more_, 0, 0);
      }
    });
  });
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
  const std::optional<QUVCParams> stored = database_.findUVCParams(device->serialNumber());
  std::map<std::string, QControlValue> further = openControls(stored);
  send(model_.load(uvccontrols::read(*cameraControl_), stored, std::move(further)));
  const QUVCParams& loaded = *model_.cameraParams();
  updatingControls_ = true;
  imageModeSegment_->setSelectedIndex(static_cast<int>(QUVCParams::rawValue(loaded.mode)));
  for (const Control control : QImageControlModel::kControls) {
    showValue(control, controlValue(loaded, control));
  }
  updatingControls_ = false;
  content_->setEnabled(true);
  presetsBtn_->setEnabled(controlSet_ != nullptr);
  presetsBtn_->setToolTip(controlSet_ ? QString()
                                      : QStringLiteral("This camera's controls cannot be listed"));
}

std::map<std::string, QControlValue> QCameraImageControlVC::openControls(
    const std::optional<QUVCParams>& stored) {
  controlSet_ = uvcFactory_.openControlsByLocation(*location_);
  controls_ = controlSet_ ? controlSet_->enumerate() : std::vector<VideoControl>{};
  std::vector<VideoControl> further;
  std::copy_if(controls_.begin(), controls_.end(), std::back_inserter(further),
               [](const VideoControl& control) { return !isImagePageControl(control.id); });
  if (stored && !stored->further.empty() && !further.empty()) {
    const QPresetFit fit = fitPreset(stored->further, further);
    for (const QString& line : fit.describe()) {
      QLog("CameraControl, stored control adjusted, " + line.toStdString());
    }
    QImageControlModel::FurtherCommands wanted;
    for (const QPresetFit::Setting& setting : fit.settings) {
      const VideoControl* control = findControl(setting.id);
      if (control != nullptr && control->value != setting.value) {
        wanted.push_back({setting.key, setting.value});
      }
    }
    sendFurther(wanted);
    refreshControls({});
    further.clear();
    std::copy_if(controls_.begin(), controls_.end(), std::back_inserter(further),
                 [](const VideoControl& control) { return !isImagePageControl(control.id); });
  }
  more_->setControls(controls_);
  std::vector<std::uint32_t> ids;
  for (const VideoControl& control : further) {
    ids.push_back(control.id);
  }
  controlWatch_.reset();
  if (controlSet_ && !ids.empty()) {
    controlWatch_ = uvcFactory_.watchControlsByLocation(
        *location_, ids, [this](const VideoControlEvent& event) { controlEvent(event); });
  }
  return controlValues(further);
}

const VideoControl* QCameraImageControlVC::findControl(std::uint32_t id) const {
  const auto it = std::find_if(controls_.begin(), controls_.end(),
                               [id](const VideoControl& control) { return control.id == id; });
  return it == controls_.end() ? nullptr : &*it;
}

const VideoControl* QCameraImageControlVC::findControl(const std::string& key) const {
  const auto it = std::find_if(controls_.begin(), controls_.end(),
                               [&key](const VideoControl& control) { return control.key == key; });
  return it == controls_.end() ? nullptr : &*it;
}

void QCameraImageControlVC::sendFurther(const QImageControlModel::FurtherCommands& commands) {
  if (!controlSet_ || commands.empty()) {
    return;
  }
  if (keeper_ && location_ && model_.isLoaded()) {
    keeper_->holdTo(*location_, *model_.changeCameraParams());
  }
  // Automatic modes first: a control they own takes a value only once its mode is off.
  QImageControlModel::FurtherCommands ordered = commands;
  std::stable_partition(ordered.begin(), ordered.end(), [this](const auto& command) {
    const VideoControl* control = findControl(command.key);
    return control != nullptr && isAutomaticMode(control->id, controls_);
  });
  bool modeChanged = false;
  std::vector<std::string> refused;
  for (const QImageControlModel::FurtherSetting& command : ordered) {
    const VideoControl* control = findControl(command.key);
    if (control == nullptr) {
      continue;
    }
    const std::uint32_t id = control->id;
    modeChanged = modeChanged || isAutomaticMode(id, controls_);
    if (const int error = controlSet_->set(id, command.value); error != 0) {
      QLog("CameraControl, setControl, " + command.key + ", " + std::to_string(command.value) +
           ", failed, " + std::strerror(error));
      refused.push_back(command.key);
    }
  }
  if (modeChanged || !refused.empty()) {
    refreshControls(refused);
  }
}

void QCameraImageControlVC::refreshControls(const std::vector<std::string>& refused) {
  std::vector<VideoControl> listed = controlSet_->enumerate();
  if (listed.empty()) {
    return;  // the camera has gone; what is shown stays until the screen closes
  }
  controls_ = std::move(listed);
  QImageControlModel::FurtherCommands taken;
  for (const VideoControl& control : controls_) {
    more_->showControl(control);
    if (std::find(refused.begin(), refused.end(), control.key) != refused.end()) {
      taken.push_back({control.key, control.value});
    }
  }
  // The working copy holds what the camera has, not a value it refused.
  model_.setFurther(taken);
}

void QCameraImageControlVC::furtherChosen(std::uint32_t id, qint64 value) {
  const VideoControl* control = findControl(id);
  if (control == nullptr) {
    return;
  }
  QLog("CameraControl, furtherControlAction(), " + control->key + ", " + std::to_string(value));
  sendFurther(model_.setFurther({{control->key, value}}));
}

void QCameraImageControlVC::controlEvent(const VideoControlEvent& event) {
  const auto it =
      std::find_if(controls_.begin(), controls_.end(),
                   [&event](const VideoControl& control) { return control.id == event.id; });
  if (it == controls_.end()) {
    return;
  }
  if (event.valueChanged) {
    it->value = event.value;
  }
  if (event.flagsChanged) {
    it->inactive = event.inactive;
    it->readOnly = event.readOnly;
  }
  more_->showControl(*it);
}

void QCameraImageControlVC::resetFurther() {
  QImageControlModel::FurtherCommands defaults;
  for (const VideoControl& control : controls_) {
    if (!isImagePageControl(control.id) && !control.readOnly) {
      defaults.push_back({control.key, control.defaultValue});
    }
  }
  sendFurther(model_.setFurther(defaults));
  if (controlSet_) {
    refreshControls({});
  }
}

std::map<std::string, QControlValue> QCameraImageControlVC::presetControls() const {
  std::map<std::string, QControlValue> values = controlValues(controls_);
  if (!model_.isLoaded()) {
    return values;
  }
  const QUVCParams& working = *model_.changeCameraParams();
  for (const VideoControl& control : controls_) {
    auto it = values.find(control.key);
    if (it == values.end()) {
      continue;
    }
    if (const std::optional<Control> image = imageControlOf(control.id)) {
      it->second.value = controlValue(working, *image);
    } else if (const auto further = working.further.find(control.key);
               further != working.further.end()) {
      it->second.value = further->second.value;
    }
  }
  return values;
}

QPresetFit QCameraImageControlVC::applyPresetControls(
    const std::map<std::string, QControlValue>& wanted) {
  QPresetFit fit = fitPreset(wanted, controls_);
  if (!model_.isLoaded()) {
    return fit;
  }
  QUVCParams values = *model_.changeCameraParams();
  QImageControlModel::FurtherCommands further;
  for (const QPresetFit::Setting& setting : fit.settings) {
    if (const std::optional<Control> image = imageControlOf(setting.id)) {
      // The page keeps the four values within its own range.
      const std::int64_t kept =
          cameraparams::uvcValueForPosition(cameraparams::positionForUvcValue(setting.value));
      if (kept != setting.value) {
        fit.adjustments.push_back(
            {setting.key, QPresetAdjustment::Kind::clamped, setting.value, kept});
      }
      setControlValue(values, *image, kept);
    } else {
      further.push_back({setting.key, setting.value});
    }
  }
  sendAndShow(model_.applyValues(values));
  sendFurther(model_.setFurther(further));
  if (controlSet_) {
    refreshControls({});
  }
  return fit;
}

void QCameraImageControlVC::fitContent() {
  // Never below what the rows need, so that none is squeezed over another.
  content_->setMinimumHeight(std::max(kContentHeight, content_->minimumSizeHint().height()));
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

void QCameraImageControlVC::restoreParams() {
  send(model_.restore());
  sendFurther(model_.restoreFurther());
}

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
    fitContent();
    scrollArea_->verticalScrollBar()->setValue(0);
  });
}

}  // namespace vexhal
