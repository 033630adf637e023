#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

#include "control/ControlReply.h"
#include "control/ControlRequest.h"
#include "device/uvc/VideoControl.h"
#include "preset/QPreset.h"
#include "preset/QPresetFit.h"
#include "section/camera_control/QDataBase.h"

namespace vexhal {
class Platform;
class QSettingsKeeper;
class RNetManager;
class USBDevice;
class USBHidDelegate;
class USBHidManager;
}  // namespace vexhal

namespace vexhal::diagnostics {
class DiagnosticsExport;
}

namespace vexhal::control {

class DiagnosticsCommand;

// Carries out control requests on the program's device layer: picks the camera, reads and sets
// its functions over HID and its image controls over UVC, saves, installs firmware and checks
// for updates. The command line uses one on a manager of its own; the running program uses one
// on its shared manager for the requests that arrive on its socket. The doctor and the
// diagnostics export have classes of their own. Main thread only.
class CameraCommandRunner : public QObject {
  Q_OBJECT

 public:
  using Progress = std::function<void(int percent)>;
  using Done = std::function<void(const ControlReply& reply)>;

  // `manager` finds the cameras (its monitoring already started); `platform` gives the UVC
  // controls, the capture devices paired with each camera, the access check, the scheduler and
  // the firmware-installation flag; `net` is the update-service client, configured for the
  // service's endpoint; `dataBase` stores the image settings Save records; `keeper`, when
  // given, is told the values set here before they are sent, so it never undoes them. All
  // must outlive the runner.
  CameraCommandRunner(USBHidManager& manager, Platform& platform, RNetManager& net,
                      QDataBase dataBase = QDataBase(), QSettingsKeeper* keeper = nullptr,
                      QObject* parent = nullptr);
  ~CameraCommandRunner() override;

  // Where `diagnostics` requests are exported; it outlives the runner. Without it they fail.
  void useDiagnostics(diagnostics::DiagnosticsExport& exporter);
  // Presets in a settings file of their own (INI format) rather than the user's settings store.
  void usePresetFile(QString fileName) { presetFile_ = std::move(fileName); }

  // Runs `request`; `progress` may be called while a transfer or download runs, and `done` is
  // called exactly once, within the request's bounds, never from inside run() itself (unless
  // the runner is destroyed first: requests still running then end without a call).
  void run(const ControlRequest& request, Progress progress, Done done);

  // The manager's arrivals and removals, through the runner's delegate link.
  void usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device);
  void usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device);

 private:
  struct Job;
  using JobPtr = std::shared_ptr<Job>;

  void start(const JobPtr& job);
  void finish(const JobPtr& job, ControlReply reply);
  void fail(const JobPtr& job, ExitCode exit, const QString& message);
  // Fails with the camera's code: no reply is NoAnswer, a refusal Failed with its code.
  void failCode(const JobPtr& job, std::int64_t code, const QString& what);
  // Bounds the step that starts now by the request's timeout; `silence` says what did not
  // answer.
  void armStep(const JobPtr& job, const QString& silence);
  void disarmStep(const JobPtr& job);

  void choose(const JobPtr& job);
  void pick(const JobPtr& job);
  void chosen(const JobPtr& job, const std::shared_ptr<USBDevice>& device);
  // Asks every open camera whose serial number is unknown for it, then runs `then`.
  void readSerials(const JobPtr& job, std::function<void()> then);

  void list(const JobPtr& job);
  void finishList(const JobPtr& job);
  void get(const JobPtr& job);
  void set(const JobPtr& job);
  // Reads the camera's six functions into the job's function model, then runs `then`.
  void loadFunctions(const JobPtr& job, std::function<void()> then);
  void applyNext(const JobPtr& job);
  bool applyFurther(const JobPtr& job);
  // Tells the keeper the image values the camera is about to hold, before they are sent.
  void hold(const JobPtr& job, const std::vector<QPresetFit::Setting>& sending = {});
  void sendFunctions(const JobPtr& job, std::size_t index);
  bool applyImage(const JobPtr& job);
  void save(const JobPtr& job);
  void saved(const JobPtr& job);
  void firmware(const JobPtr& job);
  void transfer(const JobPtr& job);
  void checkUpdate(const JobPtr& job);
  void preset(const JobPtr& job);
  void applyPreset(const JobPtr& job, const QPreset& preset);
  void sendPresetFunctions(const JobPtr& job, std::size_t index);
  void download(const JobPtr& job, const QString& url);

  // Whether `weak` still runs, and then the job.
  static JobPtr live(const std::weak_ptr<Job>& weak);
  // The camera's image controls, or a failure of `job` when the camera has none.
  bool openImageControls(const JobPtr& job);
  // Every control of the camera's video node, listed into the job; when the camera has none,
  // false, and a failure of `job` when `required`.
  bool openControls(const JobPtr& job, bool required);
  // A control the camera refused: the job fails in the user's words, unless a preset leaves
  // the control to its automatic mode; true when the job goes on.
  bool controlRefused(const JobPtr& job, const VideoControl& control, std::int64_t value,
                      int error);

  USBHidManager& manager_;
  Platform& platform_;
  RNetManager& net_;
  QDataBase dataBase_;
  QSettingsKeeper* keeper_;
  std::shared_ptr<USBHidDelegate> link_;
  DiagnosticsCommand* diagnostics_;
  QString presetFile_;
  std::vector<JobPtr> jobs_;
};

}  // namespace vexhal::control
