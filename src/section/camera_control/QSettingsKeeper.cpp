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

void QSettingsKeeper::apply(Camera& camera) {
  // The stored mode only labels the values; the camera gets the four values, in this order.
  for (const Knob& knob : kKnobs) {
    (camera.control.get()->*knob.set)(camera.held.*knob.field);
  }
  for (std::size_t i = 0; i < kKnobs.size(); ++i) {
    readBack(camera, i);
  }
}

bool QSettingsKeeper::readBack(Camera& camera, std::size_t index) {
  const Knob& knob = kKnobs[index];
  const std::int64_t wanted = camera.held.*knob.field;
  const std::int64_t got = (camera.control.get()->*knob.get)();
  camera.seen[index] = got;
  if (got == wanted) {
    return true;
  }
  QLog("Settings, " + std::string(knob.name) + " on " + camera.key.toStdString() + " is " +
       std::to_string(got) + ", not " + std::to_string(wanted) + " (refused by the camera)");
  // Holding the camera's own value, so the refusal does not turn into a fight.
  camera.held.*knob.field = got;
  emit valueRefused(camera.key, QString::fromLatin1(knob.name), wanted, got);
  return false;
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
  if (value == camera->held.*kKnobs[index].field || !restoring(*camera) || camera->settling) {
    return;
  }
  camera->settling = true;
  scheduler_(this, static_cast<int>(kSettleDelay.count()),
             [this, locationId, generation] { settle(locationId, generation); });
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
    const std::string serial = camera->key.toStdString();
    if (++camera->moves[i] > kFightLimit) {
      camera->gaveUp = true;
      QLog("Settings, " + std::string(kKnobs[i].name) + " on " + serial +
           " keeps being changed by another program, no longer restoring until plugged in again");
      emit gaveUp(camera->key);
      return;
    }
    scheduler_(this, static_cast<int>(kFightWindow.count()), [this, locationId, generation, i] {
      if (Camera* later = find(locationId, generation)) --later->moves[i];
    });
    (camera->control.get()->*kKnobs[i].set)(wanted);
    if (readBack(*camera, i)) {
      QLog("Settings, restored " + std::string(kKnobs[i].name) + " " + std::to_string(wanted) +
           " on " + serial + " (was " + std::to_string(*was) + ", changed by another program)");
    }
  }
}

}  // namespace vexhal
