#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/hid/HidDiscovery.h"
#include "device/hid/HidPacket.h"
#include "device/hid/HidReportChannel.h"

namespace vexhal {

// One attached camera's HID link: its identity, the last values it reported, one completion slot
// per command kind, and the firmware transfer.
//
// Threading: everything runs on the main thread. Each reply is decoded as it is read, the
// properties it reports are updated at once, and its completion is posted to the main loop as a
// separate task that calls whatever the slot holds when the task runs.
//
// Every completion carries the camera's result code: 0 is success, a positive value is the
// camera's failure code. The negative codes below are this program's own.
class USBDevice : public std::enable_shared_from_this<USBDevice> {
 public:
  static constexpr std::int64_t kUpgradeEmptyImage = -1;  // nothing to send; nothing was sent
  static constexpr std::int64_t kUpgradeNoReply = -2;     // the camera stopped answering
  static constexpr std::int64_t kNotOpen = -3;  // the HID node could not be opened; nothing sent
  static constexpr std::chrono::milliseconds kDefaultTransferReplyTimeout{5000};

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

  // Sends `image` in lock-step packets; `callback` gets exactly one outcome per transfer (none
  // if the camera is unplugged meanwhile). Starting again abandons a transfer in progress.
  void startUpgrade(QByteArray image, CodeCallback callback);
  // How long a transfer waits for each reply before it ends with kUpgradeNoReply.
  void setTransferReplyTimeout(std::chrono::milliseconds timeout);

  // Sends one report as it is. Returns false when it could not be sent.
  bool sendOutputReport(const hid_cmd_pack_t& pack);
  // Reads one reply: copies up to 1024 bytes of `report` over the receive buffer and dispatches
  // it by its command code.
  void processInput(const std::uint8_t* report, std::size_t length);

 private:
  friend class USBHidManager;
  enum class TransferStep { Idle, Starting, Sending, Finishing };

  void setGoneHandler(std::function<void()> gone) { goneHandler_ = std::move(gone); }
  void channelGone();
  bool failUnopened(std::uint16_t cmd);
  void sendHeaderOnly(std::uint16_t cmd);
  void sendSetting(std::uint16_t cmd, std::int64_t value, std::uint32_t packNum);
  void dispatchReply(std::uint16_t cmd, std::int64_t code);
  void handleTransferReply(std::uint16_t cmd, std::int64_t code);
  void sendTransferStep(std::uint16_t cmd);
  void sendNextPacket();
  void endTransfer(std::int64_t code);
  template <typename Slot, typename... Args>
  void post(Slot USBDevice::*slot, Args... args);

  HidDeviceRecord device_;
  int openError_ = 0;
  std::string name_;
  std::string modelName_;
  std::int64_t state_ = 0;
  std::optional<std::string> version_;
  std::optional<std::string> serialNumber_;

  ValueCallback stateCallback_;
  TextCallback versionCallback_;
  TextCallback serialNumberCallback_;
  CodeCallback saveCallback_;
  CodeCallback upgradeCallback_;
  FlagCallback getCaptureInfoCallback_;
  CodeCallback setAutoFramingCallback_;
  CodeCallback setAutoFramingModeCallback_;
  CodeCallback setFrameMasterModeCallback_;
  CodeCallback setPickupCallback_;
  CodeCallback setAngleCallback_;
  CodeCallback setHMirrorCallback_;
  FlagCallback getAutoFramingCallback_;
  FlagCallback getFrameMasterModeCallback_;
  FlagCallback getHMirrorCallback_;
  ValueCallback getAutoFramingModeCallback_;
  ValueCallback getPickupCallback_;
  ValueCallback getAngleCallback_;

  QByteArray data_;
  std::int64_t allPackNum_ = 0;
  std::int64_t packNum_ = 0;
  TransferStep step_ = TransferStep::Idle;

  std::function<void()> goneHandler_;
  hid_cmd_pack_t rx_{};  // the last reply, as far as reports have overwritten it
  hid_cmd_pack_t tx_{};  // each request is built here in place
  QObject context_;      // posted completions and the transfer timer die with the device
  QTimer transferTimer_;
  HidReportChannel channel_;
};

}  // namespace vexhal
