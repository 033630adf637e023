#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/hid/FirmwareTransfer.h"
#include "device/hid/HidDiscovery.h"
#include "device/hid/HidPacket.h"
#include "device/hid/HidReportChannel.h"

namespace vexhal {

// One attached camera's HID link: its identity, the last values it reported, the waiting
// completions of each command kind, and its firmware transfer.
//
// Threading: everything runs on the main thread. Each reply is decoded as it is read, the
// properties it reports are updated at once, and its completion is posted to the main loop as a
// separate task.
//
// Every command completes exactly once: with its reply, or with kCommandNoReply when none came
// within the command timeout. Replies carry no request number, so a reply answers the oldest
// waiting request of its command; a reply that finds none (late, repeated or unasked) is logged
// and ignored.
//
// Every completion carries the camera's result code: 0 is success, a positive value is the
// camera's failure code. The negative codes below are this program's own.
class USBDevice : public std::enable_shared_from_this<USBDevice> {
 public:
  static constexpr std::int64_t kUpgradeEmptyImage = FirmwareTransfer::kEmptyImage;
  static constexpr std::int64_t kUpgradeNoReply = FirmwareTransfer::kNoReply;
  static constexpr std::int64_t kNotOpen = -3;  // the HID node could not be opened; nothing sent
  static constexpr std::int64_t kCommandNoReply = -4;  // no reply within the command timeout
  static constexpr std::chrono::milliseconds kDefaultCommandReplyTimeout{5000};

  using CodeCallback = std::function<void(std::int64_t code)>;
  using ValueCallback = std::function<void(std::int64_t code, std::int64_t value)>;
  using FlagCallback = std::function<void(std::int64_t code, bool value)>;
  using TextCallback =
      std::function<void(std::int64_t code, const std::optional<std::string>& text)>;

  // Takes over `fd`, the opened HID descriptor of `device`. A camera whose node could not be
  // opened gets an invalid `fd` and the errno value of the failed open: it is listed, so the
  // user can be told why, and every command completes at once with kNotOpen.
  USBDevice(HidDeviceRecord device, UniqueFd fd, int openError = 0);
  USBDevice(const USBDevice&) = delete;
  USBDevice& operator=(const USBDevice&) = delete;
  ~USBDevice();

  const std::string& name() const { return name_; }
  const std::string& modelName() const { return modelName_; }
  std::int64_t locationID() const { return device_.locationId; }
  std::uint16_t vendorId() const { return device_.vendorId; }
  std::uint16_t productId() const { return device_.productId; }
  // The location id the camera's UVC controls are opened with, when it fits in 32 bits.
  std::optional<std::uint32_t> controlLocation() const;
  const std::string& key() const { return device_.key; }
  // False when the node could not be opened (see openError()) or the camera has gone.
  bool isOpen() const { return channel_.isOpen(); }
  // The errno value of the failed open, 0 when the node was opened.
  int openError() const { return openError_; }

  // 0 = not answered or failed, 1 = the camera reported 0 (ready), 2 = it reported 1 (failed).
  std::int64_t state() const { return state_; }
  const std::optional<std::string>& version() const { return version_; }
  // UTF-8, exactly 13 bytes as the camera sent them (zero bytes included).
  const std::optional<std::string>& serialNumber() const { return serialNumber_; }

  void getState(ValueCallback callback);
  void getVersion(TextCallback callback);
  void getSerialNumber(TextCallback callback);
  void getCaptureInfo(FlagCallback callback);  // true when the camera captures 3840x2160
  void getAutoFramingMode(ValueCallback callback);
  void setAutoFramingMode(std::int64_t mode, CodeCallback callback);
  void getFrameMaster(FlagCallback callback);
  void setFrameMaster(bool on, CodeCallback callback);
  void getPickup(ValueCallback callback);
  void setPickup(std::int64_t pickup, CodeCallback callback);
  void getAutoFraming(FlagCallback callback);
  void setAutoFraming(bool on, CodeCallback callback);
  void getHMirror(FlagCallback callback);
  void setHMirror(bool on, CodeCallback callback);
  void getAngle(ValueCallback callback);
  void setAngle(std::int64_t degrees, CodeCallback callback);
  void saveUVC(CodeCallback callback);
  // How long each command sent from now on waits for its reply.
  void setCommandReplyTimeout(std::chrono::milliseconds timeout) { commandReplyTimeout_ = timeout; }
  std::chrono::milliseconds commandReplyTimeout() const { return commandReplyTimeout_; }

  // Sends `image` through the FirmwareTransfer; `callback` gets exactly one outcome per transfer
  // (none if the camera is unplugged meanwhile). Starting again abandons a transfer in progress.
  // `progress`, when given, hears the whole percent of the image the camera has taken.
  void startUpgrade(QByteArray image, CodeCallback callback,
                    FirmwareTransfer::Progress progress = {});
  // See FirmwareTransfer::setReplyTimeout() and setStepReplyTimeout().
  void setTransferReplyTimeout(std::chrono::milliseconds timeout) {
    transfer_.setReplyTimeout(timeout);
  }
  void setTransferStepReplyTimeout(std::chrono::milliseconds timeout) {
    transfer_.setStepReplyTimeout(timeout);
  }

  // Sends one report as it is. Returns false when it could not be sent.
  bool sendOutputReport(const hid_cmd_pack_t& pack);
  // Reads one reply: copies up to 1024 bytes of `report` over the receive buffer and dispatches
  // it by its command code.
  void processInput(const std::uint8_t* report, std::size_t length);

 private:
  friend class USBHidManager;
  // The requests of one command that wait for their replies, oldest first.
  template <typename Callback>
  struct Slot {
    struct Waiting {
      std::uint64_t id;
      Callback callback;
      std::unique_ptr<QTimer> timeout;  // stopped with the request, so none outlives the device
    };
    std::deque<Waiting> waiting;
  };

  void setGoneHandler(std::function<void()> gone) { goneHandler_ = std::move(gone); }
  void channelGone();
  bool failUnopened(std::uint16_t cmd);
  void sendHeaderOnly(std::uint16_t cmd);
  void sendSetting(std::uint16_t cmd, std::int64_t value, std::uint32_t packNum);
  void dispatchReply(std::uint16_t cmd, std::int64_t code);
  template <typename Callback>
  void await(Slot<Callback>& slot, std::uint16_t cmd, Callback callback);
  template <typename Callback>
  std::optional<Callback> take(Slot<Callback>& slot, std::uint16_t cmd);
  template <typename Callback, typename... Args>
  void post(Callback callback, Args... args);
  template <typename Callback, typename... Args>
  void answer(Slot<Callback>& slot, std::uint16_t cmd, Args... args);

  HidDeviceRecord device_;
  int openError_ = 0;
  std::string name_;
  std::string modelName_;
  std::int64_t state_ = 0;
  std::optional<std::string> version_;
  std::optional<std::string> serialNumber_;

  Slot<ValueCallback> stateCallback_;
  Slot<TextCallback> versionCallback_;
  Slot<TextCallback> serialNumberCallback_;
  Slot<CodeCallback> saveCallback_;
  CodeCallback upgradeCallback_;
  Slot<FlagCallback> getCaptureInfoCallback_;
  Slot<CodeCallback> setAutoFramingCallback_;
  Slot<CodeCallback> setAutoFramingModeCallback_;
  Slot<CodeCallback> setFrameMasterModeCallback_;
  Slot<CodeCallback> setPickupCallback_;
  Slot<CodeCallback> setAngleCallback_;
  Slot<CodeCallback> setHMirrorCallback_;
  Slot<FlagCallback> getAutoFramingCallback_;
  Slot<FlagCallback> getFrameMasterModeCallback_;
  Slot<FlagCallback> getHMirrorCallback_;
  Slot<ValueCallback> getAutoFramingModeCallback_;
  Slot<ValueCallback> getPickupCallback_;
  Slot<ValueCallback> getAngleCallback_;

  std::chrono::milliseconds commandReplyTimeout_ = kDefaultCommandReplyTimeout;
  std::uint64_t lastRequestId_ = 0;

  std::function<void()> goneHandler_;
  hid_cmd_pack_t rx_{};  // the last reply, as far as reports have overwritten it
  hid_cmd_pack_t tx_{};  // each request is built here in place
  QObject context_;      // posted completions die with the device
  FirmwareTransfer transfer_;
  HidReportChannel channel_;
};

}  // namespace vexhal
