#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Scheduler.h"
#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/UVCControlWatch.h"
#include "device/uvc/UVCTransportFactory.h"
#include "preset/QPresetFit.h"
#include "section/camera_control/QDataBase.h"
#include "section/camera_control/QUVCParams.h"

namespace vexhal {

// Keeps each present camera at its stored image settings. Once both halves of a camera are
// there (its serial number from the HID side and its video-control channel, which may open
// later) the stored record is sent and every value read back; a value the camera refused or
// changed is logged and reported, and the camera's own value is held from then on. A value that
// another program moves is set back after a settle delay, unless the camera's switch is off or
// the other program keeps moving it (then the keeper stops for that camera until it is plugged
// in again). Values the program itself sets are declared first with holdTo(), so they are never
// undone. The record's further controls are kept the same way where the camera offers them:
// fitted to the camera's ranges (which may have changed since they were stored), sent after the
// four, read back and watched; a control its automatic mode owns is left to that mode. Main
// thread only; timing comes from the scheduler.
class QSettingsKeeper : public QObject {
  Q_OBJECT

 public:
  // A program that opens the camera often sets several controls in a row: one restore after
  // the first change of a burst.
  static constexpr std::chrono::milliseconds kSettleDelay{500};
  // A control moved away more than kFightLimit times within kFightWindow: stop restoring.
  static constexpr std::chrono::milliseconds kFightWindow{30000};
  static constexpr int kFightLimit = 3;
  // The video-control channel can appear after the HID side: tried again this often, this
  // many times.
  static constexpr std::chrono::milliseconds kChannelRetryInterval{1000};
  static constexpr int kChannelRetries = 10;

  QSettingsKeeper(UVCTransportFactory& factory, Scheduler scheduler,
                  QDataBase dataBase = QDataBase(), QObject* parent = nullptr);
  ~QSettingsKeeper() override;

  // The camera at `locationId` was plugged in and told its serial number: its stored record, if
  // it has one, is applied once its video-control channel opens. Starts the camera afresh.
  void cameraArrived(std::uint32_t locationId, const std::optional<std::string>& serialNumber);
  // The camera went: nothing more is sent to it.
  void cameraRemoved(std::uint32_t locationId);

  // The program itself now holds the camera at these values (the control screen's working
  // copy, a preset), further controls included; call before sending them. The mode is not
  // looked at.
  void holdTo(std::uint32_t locationId, const QUVCParams& values);
  // Back to the stored record, read again so that a record just saved counts.
  void holdToRecord(std::uint32_t locationId);
  // Sends the held values again to every camera the keeper keeps (after a wake-up, when a
  // camera may have lost its settings without telling).
  void reapplyAll();
  // The values the camera is held at, while the keeper keeps it.
  std::optional<QUVCParams> heldValues(std::uint32_t locationId) const;

  // The per-camera switch, by the camera's storage key, kept in the settings store: off, nothing
  // is restored. On unless switched off. setKeeping is false when the store was not written.
  bool setKeeping(const QString& storageKey, bool keep);
  bool isKeeping(const QString& storageKey) const;

 signals:
  // The camera did not take `wanted` for `control` and has `got` instead.
  void valueRefused(const QString& storageKey, const QString& control, qint64 wanted, qint64 got);
  // Another program kept changing the camera; it is left alone until plugged in again.
  void gaveUp(const QString& storageKey);
  // The camera's video-control channel did not open within the retries; nothing was applied.
  void channelMissing(quint32 locationId);

 private:
  // A further control the camera is held at, in the order the values are sent.
  struct Further {
    std::string key;
    std::uint32_t id = 0;
    std::int64_t wanted = 0;
    std::optional<std::int64_t> seen;  // last reported
    int moves = 0;                     // restores within the fight window
    bool inactive = false;             // its automatic mode owns it
  };

  struct Camera {
    std::uint64_t generation = 0;  // tasks of an earlier plug-in find another
    std::optional<std::string> serialNumber;
    QString key;
    std::optional<QUVCParams> record;
    QUVCParams held;
    int retriesLeft = kChannelRetries;
    std::unique_ptr<UVCCameraControl> control;
    std::unique_ptr<UVCControlWatch> watch;
    std::uint32_t locationId = 0;
    std::unique_ptr<VideoControlSet> controls;  // null: the camera offers only the four
    bool furtherOpened = false;                 // listed once, when the first further value is held
    std::unique_ptr<VideoControlWatch> furtherWatch;
    std::vector<VideoControl> furtherControls;  // as listed when the channel opened
    std::vector<Further> further;
    std::array<std::optional<std::int64_t>, kUvcWatchedControls.size()> seen;  // last reported
    std::array<int, kUvcWatchedControls.size()> moves{};  // restores within the fight window
    bool settling = false;
    bool gaveUp = false;
    bool keeping = true;  // the stored switch, read at plug-in and followed when it is set
  };

  Camera* find(std::uint32_t locationId, std::uint64_t generation);
  bool restoring(const Camera& camera) const;
  void openChannel(std::uint32_t locationId, std::uint64_t generation);
  void apply(Camera& camera);
  // Reads knob `index` back after a set; false (logged, reported, and the camera's value held)
  // when the camera has another value than the one held.
  bool readBack(Camera& camera, std::size_t index);
  // Opens the camera's further controls and watches them, once the camera's channel is open and
  // a further value is held: listing asks the camera for every control's range, a control
  // transfer per query, which a camera kept at the four values alone is spared.
  void openFurther(Camera& camera);
  // Fits the held further values to the camera's controls; what the camera is held at.
  QPresetFit holdFurther(Camera& camera);
  void applyFurther(Camera& camera);
  // Takes `got` as the further control's value after a set; false (logged, reported, and the
  // camera's value held) when it is not the value held.
  bool readBack(Camera& camera, Further& further, std::int64_t got);
  void refused(Camera& camera, const std::string& control, std::int64_t wanted, std::int64_t got);
  void changed(std::uint32_t locationId, std::uint64_t generation, const UVCControlInfo& control,
               std::int64_t value);
  void changedFurther(std::uint32_t locationId, std::uint64_t generation,
                      const VideoControlEvent& event);
  void settleLater(Camera& camera, std::uint32_t locationId);
  // Counts a restore against the fight limit (`moves` finds the count); false, with the camera
  // given up on, past it.
  bool countRestore(Camera& camera, std::uint32_t locationId, const std::string& control,
                    const std::function<int*(Camera&)>& moves);
  void restored(const Camera& camera, const std::string& control, std::int64_t wanted,
                std::int64_t was);
  void settle(std::uint32_t locationId, std::uint64_t generation);

  UVCTransportFactory& factory_;
  Scheduler scheduler_;
  QDataBase dataBase_;
  std::map<std::uint32_t, Camera> cameras_;
  std::uint64_t nextGeneration_ = 1;
};

}  // namespace vexhal
