#include "section/camera_control/QSettingsKeeper.h"

#include <ostrane/ostrane.h>

#include <algorithm>

namespace vexhal {
namespace {

// One image control: its record field, its name in log lines, and its UVC setter and getter.
struct Knob {
  std::int64_t QUVCParams::*field;
  const char* name;
  bool (UVCCameraControl::*set)(std::int64_t);
  std::int64_t (UVCCameraControl::*get)();
};

// In the order of kUvcWatchedControls.
const std::array<Knob, kUvcWatchedControls.size()> kKnobs{{
    {&QUVCParams::brightness, "brightness", &UVCCameraControl::setBrightness,
     &UVCCameraControl::getBrightness},
    {&QUVCParams::contrast, "contrast", &UVCCameraControl::setContrast,
     &UVCCameraControl::getContrast},
    {&QUVCParams::saturation, "saturation", &UVCCameraControl::setSaturation,
     &UVCCameraControl::getSaturation},
    {&QUVCParams::sharpness, "sharpness", &UVCCameraControl::setSharpness,
     &UVCCameraControl::getSharpness},
}};

}  // namespace

QSettingsKeeper::QSettingsKeeper(UVCTransportFactory& factory, Scheduler scheduler,
                                 QDataBase dataBase, QObject* parent)
    : QObject(parent),
      factory_(factory),
      scheduler_(std::move(scheduler)),
      dataBase_(std::move(dataBase)) {}

QSettingsKeeper::~QSettingsKeeper() = default;

void QSettingsKeeper::cameraArrived(std::uint32_t locationId,
                                    const std::optional<std::string>& serialNumber) {
  const std::optional<QString> key = QDataBase::storageKey(serialNumber);
  if (!key) {
    cameras_.erase(locationId);
    return;
  }
  Camera& camera = cameras_[locationId] = Camera{};
  camera.generation = nextGeneration_++;
  camera.locationId = locationId;
  camera.serialNumber = serialNumber;
  camera.key = *key;
  camera.keeping = dataBase_.keepsImageSettings(*key);
  camera.record = dataBase_.findUVCParams(serialNumber);
  if (camera.record) {
    camera.held = *camera.record;
    openChannel(locationId, camera.generation);
  }
}

void QSettingsKeeper::cameraRemoved(std::uint32_t locationId) { cameras_.erase(locationId); }

void QSettingsKeeper::holdTo(std::uint32_t locationId, const QUVCParams& values) {
  if (const auto it = cameras_.find(locationId); it != cameras_.end()) {
    it->second.held = values;
    holdFurther(it->second);
  }
}

void QSettingsKeeper::holdToRecord(std::uint32_t locationId) {
  const auto it = cameras_.find(locationId);
  if (it == cameras_.end()) {
    return;
  }
  Camera& camera = it->second;
  camera.record = dataBase_.findUVCParams(camera.serialNumber);
  if (!camera.record) {
    return;
  }
  camera.held = *camera.record;
  holdFurther(camera);
  if (!camera.control) {
    camera.retriesLeft = kChannelRetries;
    openChannel(locationId, camera.generation);
  }
}

void QSettingsKeeper::reapplyAll() {
  for (auto& [locationId, camera] : cameras_) {
    if (restoring(camera)) {
      QLog("Settings, re-applying the held values on " + camera.key.toStdString());
      apply(camera);
    }
  }
}

std::optional<QUVCParams> QSettingsKeeper::heldValues(std::uint32_t locationId) const {
  const auto it = cameras_.find(locationId);
  if (it == cameras_.end() || !restoring(it->second)) {
    return std::nullopt;
  }
  return it->second.held;
}

bool QSettingsKeeper::setKeeping(const QString& storageKey, bool keep) {
  if (dataBase_.setKeepsImageSettings(storageKey, keep)) {
    for (auto& [locationId, camera] : cameras_) {
      if (camera.key == storageKey) camera.keeping = keep;
    }
    return true;
  }
  QLog("Settings, could not store whether to keep the image settings of " +
       storageKey.toStdString());
  return false;
}

bool QSettingsKeeper::isKeeping(const QString& storageKey) const {
  return dataBase_.keepsImageSettings(storageKey);
}

QSettingsKeeper::Camera* QSettingsKeeper::find(std::uint32_t locationId, std::uint64_t generation) {
  const auto it = cameras_.find(locationId);
  return it != cameras_.end() && it->second.generation == generation ? &it->second : nullptr;
}

bool QSettingsKeeper::restoring(const Camera& camera) const {
  return camera.record && camera.control && !camera.gaveUp && camera.keeping;
}

void QSettingsKeeper::openChannel(std::uint32_t locationId, std::uint64_t generation) {
  Camera* camera = find(locationId, generation);
  if (camera == nullptr) {
    return;
  }
  auto control =
      std::make_unique<UVCCameraControl>(factory_.openByLocation(locationId), factory_.log());
  if (!control->hasInterface()) {
    if (camera->retriesLeft-- > 0) {
      scheduler_(this, static_cast<int>(kChannelRetryInterval.count()),
                 [this, locationId, generation] { openChannel(locationId, generation); });
    } else {
      emit channelMissing(locationId);
    }
    return;
  }
  camera->control = std::move(control);
  // Watching starts first, so that a change made while the record goes out is not missed;
  // the record's own values come back as changes to the values held and are passed over.
  camera->watch = factory_.watchByLocation(
      locationId, [this, locationId, generation](const UVCControlInfo& c, std::int64_t value) {
        changed(locationId, generation, c, value);
      });
  apply(*camera);
}

void QSettingsKeeper::openFurther(Camera& camera) {
  if (camera.furtherOpened || !camera.control || camera.held.further.empty()) {
    return;
  }
  camera.furtherOpened = true;
  const std::uint32_t locationId = camera.locationId;
  camera.controls = factory_.openControlsByLocation(locationId);
  if (!camera.controls) {
    return;
  }
  std::vector<std::uint32_t> ids;
  for (VideoControl& control : camera.controls->enumerate()) {
    if (!isImagePageControl(control.id)) {
      ids.push_back(control.id);
      camera.furtherControls.push_back(std::move(control));
    }
  }
  const std::uint64_t generation = camera.generation;
  camera.furtherWatch = factory_.watchControlsByLocation(
      locationId, ids, [this, locationId, generation](const VideoControlEvent& event) {
        changedFurther(locationId, generation, event);
      });
}

QPresetFit QSettingsKeeper::holdFurther(Camera& camera) {
  openFurther(camera);
  QPresetFit fit = fitPreset(camera.held.further, camera.furtherControls);
  // Held with the camera's ranges from now on, so that a scaled value is not scaled again.
  const std::map<std::string, QControlValue> ranges = controlValues(camera.furtherControls);
  std::vector<Further> held;
  for (const QPresetFit::Setting& setting : fit.settings) {
    const auto was = std::find_if(camera.further.begin(), camera.further.end(),
                                  [&](const Further& f) { return f.key == setting.key; });
    Further f = was != camera.further.end() ? *was : Further{};
    f.key = setting.key;
    f.id = setting.id;
    f.wanted = setting.value;
    camera.held.further[setting.key] = ranges.at(setting.key);
    camera.held.further[setting.key].value = setting.value;
    held.push_back(std::move(f));
  }
  camera.further = std::move(held);
  return fit;
}

void QSettingsKeeper::applyFurther(Camera& camera) {
  openFurther(camera);
  if (!camera.controls) {
    return;
  }
  const QPresetFit fit = holdFurther(camera);
  for (const QString& line : fit.describe()) {
    QLog("Settings, " + camera.key.toStdString() + ", " + line.toStdString());
  }
  for (const Further& f : camera.further) {
    camera.controls->set(f.id, f.wanted);
  }
  // Listed again for the values and for which controls an automatic mode now owns.
  const std::vector<VideoControl> now = camera.controls->enumerate();
  for (Further& f : camera.further) {
    const auto it =
        std::find_if(now.begin(), now.end(), [&f](const VideoControl& c) { return c.id == f.id; });
    if (it == now.end()) {
      continue;
    }
    f.inactive = it->inactive;
    if (f.inactive) {
      f.seen = it->value;
    } else {
      readBack(camera, f, it->value);
    }
  }
}

void QSettingsKeeper::apply(Camera& camera) {
  // The stored mode only labels the values; the camera gets the four values, in this order.
  for (const Knob& knob : kKnobs) {
    (camera.control.get()->*knob.set)(camera.held.*knob.field);
  }
  for (std::size_t i = 0; i < kKnobs.size(); ++i) {
    readBack(camera, i);
  }
  applyFurther(camera);
}

bool QSettingsKeeper::readBack(Camera& camera, std::size_t index) {
  const Knob& knob = kKnobs[index];
  const std::int64_t wanted = camera.held.*knob.field;
  const std::int64_t got = (camera.control.get()->*knob.get)();
  camera.seen[index] = got;
  if (got == wanted) {
    return true;
  }
  // Holding the camera's own value, so the refusal does not turn into a fight.
  camera.held.*knob.field = got;
  refused(camera, knob.name, wanted, got);
  return false;
}

bool QSettingsKeeper::readBack(Camera& camera, Further& further, std::int64_t got) {
  further.seen = got;
  if (got == further.wanted) {
    return true;
  }
  const std::int64_t wanted = further.wanted;
  further.wanted = got;
  camera.held.further[further.key].value = got;
  refused(camera, further.key, wanted, got);
  return false;
}

void QSettingsKeeper::refused(Camera& camera, const std::string& control, std::int64_t wanted,
                              std::int64_t got) {
  QLog("Settings, " + control + " on " + camera.key.toStdString() + " is " + std::to_string(got) +
       ", not " + std::to_string(wanted) + " (refused by the camera)");
  emit valueRefused(camera.key, QString::fromStdString(control), wanted, got);
}

void QSettingsKeeper::changed(std::uint32_t locationId, std::uint64_t generation,
                              const UVCControlInfo& control, std::int64_t value) {
  Camera* camera = find(locationId, generation);
  const auto watched = std::find(kUvcWatchedControls.begin(), kUvcWatchedControls.end(), control);
  if (camera == nullptr || watched == kUvcWatchedControls.end()) {
    return;
  }
  const auto index = static_cast<std::size_t>(watched - kUvcWatchedControls.begin());
  camera->seen[index] = value;
  if (value != camera->held.*kKnobs[index].field) {
    settleLater(*camera, locationId);
  }
}

void QSettingsKeeper::changedFurther(std::uint32_t locationId, std::uint64_t generation,
                                     const VideoControlEvent& event) {
  Camera* camera = find(locationId, generation);
  if (camera == nullptr) {
    return;
  }
  const auto f = std::find_if(camera->further.begin(), camera->further.end(),
                              [&event](const Further& held) { return held.id == event.id; });
  if (f == camera->further.end()) {
    return;
  }
  // Every event carries the value and flags: a control freed by its automatic mode is compared
  // at once.
  f->seen = event.value;
  f->inactive = event.inactive;
  if (!f->inactive && event.value != f->wanted) {
    settleLater(*camera, locationId);
  }
}

void QSettingsKeeper::settleLater(Camera& camera, std::uint32_t locationId) {
  if (!restoring(camera) || camera.settling) {
    return;
  }
  camera.settling = true;
  scheduler_(
      this, static_cast<int>(kSettleDelay.count()),
      [this, locationId, generation = camera.generation] { settle(locationId, generation); });
}

bool QSettingsKeeper::countRestore(Camera& camera, std::uint32_t locationId,
                                   const std::string& control,
                                   const std::function<int*(Camera&)>& moves) {
  if (++*moves(camera) > kFightLimit) {
    camera.gaveUp = true;
    QLog("Settings, " + control + " on " + camera.key.toStdString() +
         " keeps being changed by another program, no longer restoring until plugged in again");
    emit gaveUp(camera.key);
    return false;
  }
  scheduler_(this, static_cast<int>(kFightWindow.count()),
             [this, locationId, generation = camera.generation, moves] {
               Camera* later = find(locationId, generation);
               if (int* count = later != nullptr ? moves(*later) : nullptr) --*count;
             });
  return true;
}

void QSettingsKeeper::restored(const Camera& camera, const std::string& control,
                               std::int64_t wanted, std::int64_t was) {
  QLog("Settings, restored " + control + " " + std::to_string(wanted) + " on " +
       camera.key.toStdString() + " (was " + std::to_string(was) + ", changed by another program)");
}

void QSettingsKeeper::settle(std::uint32_t locationId, std::uint64_t generation) {
  Camera* camera = find(locationId, generation);
  if (camera == nullptr) {
    return;  // unplugged meanwhile
  }
  camera->settling = false;
  for (std::size_t i = 0; i < kKnobs.size() && restoring(*camera); ++i) {
    const std::optional<std::int64_t> was = camera->seen[i];
    const std::int64_t wanted = camera->held.*kKnobs[i].field;
    if (!was || *was == wanted) {
      continue;
    }
    if (!countRestore(*camera, locationId, kKnobs[i].name,
                      [i](Camera& c) { return &c.moves[i]; })) {
      return;
    }
    (camera->control.get()->*kKnobs[i].set)(wanted);
    if (readBack(*camera, i)) {
      restored(*camera, kKnobs[i].name, wanted, *was);
    }
  }
  for (std::size_t i = 0; i < camera->further.size() && restoring(*camera); ++i) {
    Further& f = camera->further[i];
    const std::optional<std::int64_t> was = f.seen;
    if (f.inactive || !was || *was == f.wanted) {
      continue;
    }
    const auto moves = [key = f.key](Camera& c) -> int* {
      const auto it = std::find_if(c.further.begin(), c.further.end(),
                                   [&key](const Further& held) { return held.key == key; });
      return it != c.further.end() ? &it->moves : nullptr;
    };
    if (!countRestore(*camera, locationId, f.key, moves)) {
      return;
    }
    // As for the four: what the camera reads back decides, whatever the set returned.
    camera->controls->set(f.id, f.wanted);
    std::int64_t got = 0;
    if (camera->controls->get(f.id, got) == 0 && readBack(*camera, f, got)) {
      restored(*camera, f.key, f.wanted, *was);
    }
  }
}

}  // namespace vexhal
