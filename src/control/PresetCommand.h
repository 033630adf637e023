#pragma once

#include <QJsonArray>
#include <QString>

#include <optional>
#include <vector>

#include "control/ControlReply.h"
#include "device/uvc/VideoControl.h"
#include "preset/QPresetFit.h"
#include "preset/QPresetStore.h"
#include "section/camera_control/QHIDParams.h"
#include "section/camera_control/QHIDSetting.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal::control {

// The preset requests' work on the presets of one camera model: the store and the preset files,
// and the replies they give. The camera's own reads and writes are the runner's.
class PresetCommand {
 public:
  explicit PresetCommand(QPresetStore store) : store_(std::move(store)) {}

  // Why `name` cannot name a preset (empty, too long, control characters), or empty when it can.
  static QString nameProblem(const QString& name);

  // Every preset: its name, its functions as `get` shows them and how many controls it holds.
  ControlReply list() const;
  // The preset `name`, or nothing with the reply that says there is none.
  std::optional<QPreset> find(const QString& name, ControlReply* failure) const;
  // Stores the camera's functions and controls (read-only ones left out) as preset `name`.
  ControlReply save(const QString& name, const QHIDParams& functions,
                    const std::vector<VideoControl>& camera);
  // Writes preset `name`, or every preset when `name` is empty, to `file`.
  ControlReply exportTo(const QString& name, const QString& file) const;
  // Stores every preset of `file` (replacing those of the same name) and says which were added
  // and replaced, and what applying each would adjust on `camera`.
  ControlReply importFrom(const QString& file, const std::vector<VideoControl>& camera);

  // The adjustments of fitting `preset` as the reply carries them.
  static QJsonArray adjustments(const QString& preset, const QPresetFit& fit);
  // The commands that put `functions` in place: a tracking function switched off before the
  // other comes on, the angle before a tracking function comes on.
  static std::vector<QHIDSetting> functionCommands(const QHIDParams& functions);
  // The image values the camera holds once `sent` is applied: the camera's own values with
  // those sent in their place. The keeper is told them before they are sent.
  static QUVCParams heldValues(const std::vector<VideoControl>& camera,
                               const std::vector<QPresetFit::Setting>& sent);

 private:
  QPresetStore store_;
};

}  // namespace vexhal::control
