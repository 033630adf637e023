#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "CameraFunctions.h"
#include "FirmwareImage.h"
#include "FirmwareReceiver.h"
#include "PictureSettings.h"
#include "SimFaults.h"
#include "UvcControlStore.h"
#include "device/hid/HidPacket.h"
#include "base/UniqueFd.h"
#include "device/uvc/UVCControlRequest.h"

namespace vexhal::sim {

struct VirtualCameraIdentity {
  std::string serialNumber = "VXK31D2612001";  // 13 characters, as the camera reports it
  FirmwareVersion version{1, 0, 6};
  std::int64_t locationId = 0x03142000;  // bus 3, ports 1.4.2
  std::uint16_t vendorId = 0xB206;
  std::uint16_t productId = 0xB215;
  // Controls whose ranges differ from the usual ones (another model or firmware).
  std::vector<UvcControlStore::Range> controlRanges = {};
};

// A camera that exists only in this process: its HID interface (served over the camera end of
// a SOCK_SEQPACKET socket pair), its UVC controls, its picture settings, its firmware and its
// plugging in and out.
//
// Threading: the HID side, UVC requests, plugging and restarts all run on the main thread. The
// HID side answers on the main loop rather than on a thread of its own: a report then costs one
// notifier dispatch and no context switch on a two-core machine, and the state it shares with
// the UVC side needs no lock. Only the picture settings, the streaming format and whether the
// camera is attached are read from the capture threads, through a mutex and atomics.
class VirtualCamera {
 public:
  static constexpr std::chrono::milliseconds kDefaultRestartDelay{3000};
  // How long the camera keeps running after it accepted an image, before it restarts. Long
  // enough for the finish reply to be read before the camera goes.
  static constexpr std::chrono::milliseconds kDefaultRebootDelay{300};

  using AttachListener = std::function<void(bool attached)>;
  // A control's new value or flags, changed through any channel of the camera.
  using ControlListener = std::function<void(const VideoControlEvent& event)>;

  explicit VirtualCamera(VirtualCameraIdentity identity = {});
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;
  ~VirtualCamera();

  const std::string& serialNumber() const { return identity_.serialNumber; }
  std::int64_t locationId() const { return identity_.locationId; }
  std::uint16_t vendorId() const { return identity_.vendorId; }
  std::uint16_t productId() const { return identity_.productId; }
  // The key discovery reports the camera's HID interface under.
  std::string hidKey() const;
  // The unique id of the camera's capture device, which pairs it with its HID side.
  std::string captureUniqueId() const;

  FirmwareVersion firmwareVersion() const { return version_; }
  bool firmwareFailed() const { return failed_; }
  CameraFunctions functions() const { return functions_; }
  CameraFunctions savedFunctions() const { return savedFunctions_; }
  const UvcControlStore& uvcControls() const { return uvc_; }
  std::int64_t firmwarePacketsReceived() const { return receiver_.packetsReceived(); }

  // Plugging in and out, as a user would. An unplugged camera does not come back by itself.
  void plug();
  void unplug();
  bool isAttached() const { return attached_.load(); }
  // Called on the main thread whenever the camera attaches or detaches.
  int addAttachListener(AttachListener listener);
  void removeAttachListener(int id);
  // Called on the main thread, within the request, whenever a control's value or flags change.
  int addControlListener(ControlListener listener);
  void removeControlListener(int id);

  // Opens the HID interface: returns the host end of a new socket pair and serves the other.
  // Invalid when the camera is detached or the interface is already open (exclusive use).
  UniqueFd openHid();
  bool isHidOpen() const { return link_.isValid(); }

  // Answers one request: the reply, or nothing when it stays unanswered. Restarts and
  // detaches it causes happen later on the main loop.
  std::optional<hid_cmd_pack_t> respond(const hid_cmd_pack_t& request);
  // Every reply sent or due, the last one first (garbage replies included).
  const std::optional<hid_cmd_pack_t>& lastReply() const { return lastReply_; }
  std::uint64_t reportsReceived() const { return reportsReceived_; }

  // Answers one UVC request record: 0 or an errno value.
  int uvcRequest(UVCControlRequest& request);
  // The controls of the video node as the driver lists them, and requests on them: 0 or an
  // errno value (ENODEV while detached).
  std::vector<VideoControl> videoControls() const { return uvc_.describe(); }
  int getVideoControl(std::uint32_t id, std::int64_t& value) const;
  int setVideoControl(std::uint32_t id, std::int64_t value);

  void setRestartDelay(std::chrono::milliseconds delay) { restartDelay_ = delay; }
  void setRebootDelay(std::chrono::milliseconds delay) { rebootDelay_ = delay; }
  const SimFaults& faults() const { return faults_; }
  void setFaults(SimFaults faults);

  // For the capture side, from any thread.
  PictureSettings pictureSettings() const;
  std::uint64_t pictureGeneration() const { return pictureGeneration_.load(); }
  // The format being streamed (0 x 0 when none), reported by the capture info reply.
  void setStreaming(std::int32_t width, std::int32_t height);

 private:
  void readRequests();
  void sendReply(const hid_cmd_pack_t& reply, std::uint64_t linkGeneration);
  void closeLink();
  void answerCommand(std::uint16_t cmd, const hid_cmd_pack_t& request, hid_cmd_pack_t& reply);
  std::uint32_t setFunction(std::uint16_t cmd, std::uint8_t value);
  void answerTransfer(std::uint16_t cmd, const hid_cmd_pack_t& request, hid_cmd_pack_t& reply,
                      bool& answered);
  void detach();
  void restartLater(std::chrono::milliseconds after, std::optional<FirmwareVersion> newVersion);
  void reboot(std::optional<FirmwareVersion> newVersion);
  void attach();
  void publishPicture();
  void controlsChanged(const UvcControlStore::Changes& changes);

  VirtualCameraIdentity identity_;
  FirmwareVersion version_;
  bool failed_ = false;
  CameraFunctions functions_;
  CameraFunctions savedFunctions_;
  UvcControlStore uvc_;
  UvcControlStore::Values savedUvc_;
  FirmwareReceiver receiver_;
  SimFaults faults_;
  std::mt19937 garbageBytes_{0x5EED};
  std::chrono::milliseconds restartDelay_ = kDefaultRestartDelay;
  std::chrono::milliseconds rebootDelay_ = kDefaultRebootDelay;

  // Each restart carries the token current when it was scheduled; plugging by hand moves the
  // token on, which cancels the restarts in flight.
  std::uint64_t restartToken_ = 0;

  std::atomic<bool> attached_{false};
  std::vector<std::pair<int, AttachListener>> listeners_;
  std::vector<std::pair<int, ControlListener>> controlListeners_;
  int nextListenerId_ = 1;

  UniqueFd link_;
  std::uint64_t linkGeneration_ = 0;
  QSocketNotifier notifier_{QSocketNotifier::Read};
  hid_cmd_pack_t rx_{};
  std::optional<hid_cmd_pack_t> lastReply_;
  std::uint64_t reportsReceived_ = 0;

  mutable std::mutex pictureMutex_;
  PictureSettings picture_;
  std::atomic<std::uint64_t> pictureGeneration_{1};
  std::int32_t streamingWidth_ = 0;
  std::int32_t streamingHeight_ = 0;

  QObject context_;  // delayed replies and restarts die with the camera
};

}  // namespace vexhal::sim
