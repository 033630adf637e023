#include "control/CameraCommandRunner.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <ostrane/ostrane.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "control/ControlSetting.h"
#include "control/DiagnosticsCommand.h"
#include "control/DoctorCommand.h"
#include "control/FurtherControl.h"
#include "control/PresetCommand.h"
#include "device/hid/USBDevice.h"
#include "device/hid/USBHidManager.h"
#include "device/uvc/UVCCameraControl.h"
#include "device/uvc/UVCTransportFactory.h"
#include "device/uvc/VideoControlSet.h"
#include "net/RNetManager.h"
#include "platform/Platform.h"
#include "platform/QCameraAccess.h"
#include "section/QHidDelegateLink.h"
#include "section/camera_control/CaptureDeviceSearch.h"
#include "section/camera_control/QCameraParamsMapping.h"
#include "section/camera_control/QFunctionControlModel.h"
#include "section/camera_control/QHIDFieldCommands.h"
#include "section/camera_control/QImageControlModel.h"
#include "section/camera_control/QUVCControlCommands.h"
#include "section/camera_control/QSettingsKeeper.h"
#include "section/camera_info/FirmwareInstallation.h"

namespace vexhal::control {

namespace {

using Command = ControlRequest::Command;
using Field = QHIDSetting::Field;
using Id = ControlSetting::Id;

constexpr std::array<Field, 6> kFields{Field::autoFraming, Field::autoFramingMode,
                                       Field::frameMaster, Field::angle,
                                       Field::hMirror,     Field::pickup};

QString seconds(std::chrono::milliseconds timeout) {
  return QString::number(static_cast<double>(timeout.count()) / 1000.0) + QStringLiteral(" s");
}

// The camera's fixed-width texts without the zero bytes that pad them, as the screens show them.
QJsonValue shownText(const std::optional<std::string>& text) {
  const std::optional<QString> shown = QDataBase::storageKey(text);
  return shown ? QJsonValue(*shown) : QJsonValue();
}

QString locationText(std::int64_t locationId) {
  return QStringLiteral("0x%1").arg(static_cast<quint32>(locationId), 8, 16, QLatin1Char('0'));
}

// The access help is rich text for the alert; a terminal gets its paragraphs and commands.
QString plainText(QString html) {
  static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
  html.replace(QStringLiteral("</p>"), QStringLiteral("\n\n"));
  html.replace(QStringLiteral("<pre>"), QStringLiteral("\n"));
  html.replace(QStringLiteral("</pre>"), QStringLiteral("\n\n"));
  html.remove(tags);
  html.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
  html.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
  html.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
  html.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
  html.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
  static const QRegularExpression blankLines(QStringLiteral("\n{3,}"));
  html.replace(blankLines, QStringLiteral("\n\n"));
  return html.trimmed();
}

// The node that was refused and why, as `list` shows it.
QString refusedText(const QCameraAccessProblem& problem) {
  if (problem.node == QCameraAccessProblem::Node::Unknown) {
    return QStringLiteral("refused");
  }
  return QStringLiteral("%1: %2").arg(problem.path,
                                      QString::fromLocal8Bit(std::strerror(problem.error)));
}

// The record Save stores: the camera's values, under the preset they match, else custom.
QUVCParams recordOf(const QUVCParams& values) {
  for (const auto mode : {QUVCParams::ImageMode::standard, QUVCParams::ImageMode::bright,
                          QUVCParams::ImageMode::vivid}) {
    QUVCParams preset = QUVCParams::preset(mode);
    if (preset ==
        QUVCParams{mode, values.brightness, values.contrast, values.saturation, values.sharpness}) {
      return preset;
    }
  }
  QUVCParams record = values;
  record.mode = QUVCParams::ImageMode::custom;
  return record;
}

// The update service's own failure codes are positive; the client's are its own.
ControlReply serviceFailure(const RNetResponse& response) {
  return {response.code == RNetResponse::kTimeout ? ExitCode::NoAnswer : ExitCode::Failed,
          QJsonValue(), response.message,
          response.code > 0 ? std::optional<std::int64_t>(response.code) : std::nullopt};
}

// Counts the answers to requests sent together and runs `then` after the last one, unless the
// round was given up (its job finished or started over).
struct Round {
  int waiting = 0;
  std::function<void()> then;

  void answered() {
    if (--waiting == 0 && then) {
      std::function<void()> next = std::move(then);
      then = nullptr;
      next();
    }
  }
};

}  // namespace

struct CameraCommandRunner::Job {
  ControlRequest request;
  Progress progress;
  Done done;
  bool finished = false;
  std::uint64_t generation = 0;  // rounds of an earlier start find another and stop
  QPointer<QTimer> step;
  QString silence;                  // what did not answer, when the step times out
  std::function<void()> onTimeout;  // instead of failing with NoAnswer
  std::shared_ptr<USBDevice> device;
  // The device's own reply bound before this job set it to the request's timeout.
  std::chrono::milliseconds deviceReplyTimeout = USBDevice::kDefaultCommandReplyTimeout;
  std::optional<UVCCameraControl> uvc;

  // get: the settings asked for; set: the values to apply, the next one, the functions' rules.
  std::vector<Id> ids;
  std::vector<ControlSetting::Value> values;
  std::size_t next = 0;
  QFunctionControlModel functions;
  QImageControlModel image;
  QUVCParams imageRead;  // the camera's own image values, as read
  QFunctionControlModel::Commands commands;
  QJsonObject result;
  QJsonArray adjusted;

  // The video node's controls, listed once. get: the further controls asked for; set: beside
  // each value, the further control it sets instead (its "key=value" item until listed).
  std::unique_ptr<VideoControlSet> controls;
  std::vector<VideoControl> cameraControls;
  QStringList furtherKeys;
  std::vector<QString> furtherItems;
  std::vector<std::optional<QPresetFit::Setting>> further;

  // list: the capture devices found, by camera; firmware: the installation and how it went.
  std::map<std::string, QString> videoPaths;
  std::map<std::string, std::int64_t> states;
  QPointer<CaptureDeviceSearch> search;
  QPointer<FirmwareInstallation> installation;
  bool transferring = false;
  bool restarted = false;
  bool unplugged = false;

  void report(int percent) const {
    if (progress) {
      progress(percent);
    }
  }
};

CameraCommandRunner::CameraCommandRunner(USBHidManager& manager, Platform& platform,
                                         RNetManager& net, QDataBase dataBase,
                                         QSettingsKeeper* keeper, QObject* parent)
    : QObject(parent),
      manager_(manager),
      platform_(platform),
      net_(net),
      dataBase_(std::move(dataBase)),
      keeper_(keeper),
      link_(std::make_shared<QHidDelegateLink<CameraCommandRunner>>(this)),
      diagnostics_(new DiagnosticsCommand(this)) {
  manager_.addDelegate(link_);
}

void CameraCommandRunner::useDiagnostics(diagnostics::DiagnosticsExport& exporter) {
  diagnostics_->setExporter(&exporter);
}

CameraCommandRunner::~CameraCommandRunner() {
  manager_.removeDelegate(link_);
  for (const JobPtr& job : jobs_) {
    job->finished = true;
    delete job->installation;
    delete job->search;
  }
}

CameraCommandRunner::JobPtr CameraCommandRunner::live(const std::weak_ptr<Job>& weak) {
  JobPtr running = weak.lock();
  return running && !running->finished ? running : nullptr;
}

void CameraCommandRunner::run(const ControlRequest& request, Progress progress, Done done) {
  auto job = std::make_shared<Job>();
  job->request = request;
  job->progress = std::move(progress);
  job->done = std::move(done);
  jobs_.push_back(job);
  QLog("Control, run", commandWord(request.command).toStdString(), request.camera.toStdString());
  // Starts after the events already queued, so cameras the manager has just found are there.
  QTimer::singleShot(0, this, [this, weak = std::weak_ptr(job)] {
    if (const JobPtr running = live(weak)) {
      start(running);
    }
  });
}

void CameraCommandRunner::finish(const JobPtr& job, ControlReply reply) {
  if (job->finished) {
    return;
  }
  job->finished = true;
  disarmStep(job);
  if (job->step) {
    job->step->deleteLater();
  }
  // Both may be in the middle of telling this runner something: they go once that is over.
  if (job->installation) {
    job->installation->disconnect(this);
    job->installation->deleteLater();
  }
  if (job->search) {
    job->search->deleteLater();
  }
  if (job->device && job->transferring) {
    job->device->setTransferReplyTimeout(FirmwareTransfer::kDefaultReplyTimeout);
  }
  if (job->device) {
    job->device->setCommandReplyTimeout(job->deviceReplyTimeout);
  }
  std::erase(jobs_, job);
  QLog("Control, done", commandWord(job->request.command).toStdString(),
       static_cast<int>(reply.exit), reply.message.toStdString());
  QTimer::singleShot(0, this, [done = std::move(job->done), reply = std::move(reply)] {
    if (done) {
      done(reply);
    }
  });
}

void CameraCommandRunner::fail(const JobPtr& job, ExitCode exit, const QString& message) {
  finish(job, {exit, QJsonValue(), message, std::nullopt});
}

void CameraCommandRunner::failCode(const JobPtr& job, std::int64_t code, const QString& what) {
  // Only a code the camera gave travels in the reply; the negative ones are this program's own.
  if (code == USBDevice::kCommandNoReply && job->step && job->step->isActive()) {
    // The device waits as long as the step, so either may notice first: told the same way.
    fail(job, ExitCode::NoAnswer,
         QStringLiteral("%1 within %2.").arg(job->silence, seconds(job->request.timeout)));
  } else if (code == USBDevice::kCommandNoReply || code == USBDevice::kUpgradeNoReply) {
    fail(job, ExitCode::NoAnswer, QStringLiteral("The camera did not answer %1.").arg(what));
  } else if (code < 0) {
    fail(job, ExitCode::Failed,
         QStringLiteral("The camera's control node is not open, so %1 was not sent.").arg(what));
  } else {
    finish(job, {ExitCode::Failed, QJsonValue(),
                 QStringLiteral("The camera refused %1 (code %2).").arg(what).arg(code), code});
  }
}

void CameraCommandRunner::armStep(const JobPtr& job, const QString& silence) {
  if (!job->step) {
    job->step = new QTimer(this);
    job->step->setSingleShot(true);
    connect(job->step, &QTimer::timeout, this, [this, weak = std::weak_ptr(job)] {
      const JobPtr running = live(weak);
      if (!running) {
        return;
      }
      if (running->onTimeout) {
        running->onTimeout();
        return;
      }
      fail(
          running, ExitCode::NoAnswer,
          QStringLiteral("%1 within %2.").arg(running->silence, seconds(running->request.timeout)));
    });
  }
  job->silence = silence;
  job->step->start(job->request.timeout);
}

void CameraCommandRunner::disarmStep(const JobPtr& job) {
  if (job->step) {
    job->step->stop();
  }
}

void CameraCommandRunner::start(const JobPtr& job) {
  const ControlRequest& request = job->request;
  QString error;
  switch (request.command) {
    case Command::Get:
      for (const QString& name : request.settings) {
        const std::optional<Id> id = ControlSetting::parseName(name, &error);
        if (!id && FurtherControl::isKey(name)) {
          job->furtherKeys.append(name);  // one of the camera's own, looked for once it is open
          continue;
        }
        if (!id) {
          return fail(job, ExitCode::Usage, error);
        }
        if (!ControlSetting::isReadable(*id)) {
          return fail(job, ExitCode::Usage,
                      QStringLiteral("%1 can only be set").arg(ControlSetting::word(*id)));
        }
        job->ids.push_back(*id);
      }
      if (job->ids.empty() && job->furtherKeys.isEmpty()) {
        job->ids = ControlSetting::readable();
      }
      break;
    case Command::Set:
      if (request.settings.isEmpty()) {
        return fail(job, ExitCode::Usage, QStringLiteral("set needs SETTING=VALUE"));
      }
      for (const QString& item : request.settings) {
        const std::optional<ControlSetting::Value> value = ControlSetting::parse(item, &error);
        const QString name = item.section(u'=', 0, 0);
        if (!value && !ControlSetting::parseName(name, nullptr) && FurtherControl::isKey(name)) {
          if (!item.contains(u'=')) {
            return fail(job, ExitCode::Usage,
                        QStringLiteral("%1 needs a value: %1=VALUE").arg(name));
          }
          // Its place in the order is kept; the value is read once the camera's controls are.
          job->values.push_back({Id::preset, 0});
          job->furtherItems.push_back(item);
          continue;
        }
        if (!value) {
          return fail(job, ExitCode::Usage, error);
        }
        job->values.push_back(*value);
        job->furtherItems.emplace_back();
      }
      break;
    case Command::Preset: {
      using Action = ControlRequest::PresetAction;
      const Action action = request.presetAction;
      const bool named = action == Action::Save || action == Action::Apply ||
                         (action == Action::Export && !request.allPresets);
      if (const QString problem = PresetCommand::nameProblem(request.presetName);
          named && !problem.isEmpty()) {
        return fail(job, ExitCode::Usage, problem);
      }
      if ((action == Action::Export || action == Action::Import) && request.file.isEmpty()) {
        return fail(job, ExitCode::Usage,
                    QStringLiteral("preset %1 needs a FILE").arg(presetActionWord(action)));
      }
      break;
    }
    case Command::Firmware: {
      const QFileInfo file(request.file);
      if (request.file.isEmpty()) {
        return fail(job, ExitCode::Usage, QStringLiteral("firmware needs a package file"));
      }
      if (!file.isFile() || !file.isReadable() || file.size() == 0) {
        return fail(job, ExitCode::Usage,
                    QStringLiteral("%1 is not a readable, non-empty file").arg(request.file));
      }
      break;
    }
    case Command::CheckUpdate:
      if (VEXHAL_UPDATE_CHECKS == 0) {
        return fail(job, ExitCode::Failed,
                    QStringLiteral("This build leaves firmware updates to the distribution's "
                                   "packages."));
      }
      break;
    case Command::List:
      return list(job);
    case Command::Doctor:
      return finish(job, DoctorCommand::run(manager_, platform_));
    case Command::Diagnostics:
      return diagnostics_->run(request,
                               [this, weak = std::weak_ptr(job)](const ControlReply& reply) {
                                 if (const JobPtr running = live(weak)) {
                                   finish(running, reply);
                                 }
                               });
    case Command::Demo:
      // A running demo program answers these itself; nothing here has a virtual camera.
      return fail(job, ExitCode::Usage,
                  QStringLiteral("no VexhalTools demo is running; start one with "
                                 "`vexhaltools --demo`"));
    case Command::Save:
      break;
  }
  choose(job);
}

// ---- the camera ------------------------------------------------------------------------------

void CameraCommandRunner::choose(const JobPtr& job) {
  ++job->generation;
  const auto& devices = manager_.devices();
  const QString& wanted = job->request.camera;
  if (devices.empty()) {
    return fail(job, ExitCode::NoCamera, QStringLiteral("No camera is connected."));
  }
  // A device node (or the key another discovery reports a camera under) names the camera at once.
  for (const auto& device : devices) {
    if (!wanted.isEmpty() && QString::fromStdString(device->key()) == wanted) {
      return chosen(job, device);
    }
  }
  if (wanted.startsWith(QLatin1StringView("/dev/"))) {
    QStringList nodes;
    for (const auto& device : devices) nodes.append(QString::fromStdString(device->key()));
    return fail(job, ExitCode::NoCamera,
                QStringLiteral("No camera at %1; the cameras are at %2.")
                    .arg(wanted, nodes.join(QStringLiteral(", "))));
  }
  if (wanted.isEmpty() && devices.size() == 1) {
    return chosen(job, devices.front());
  }
  readSerials(job, [this, weak = std::weak_ptr(job)] {
    if (const JobPtr running = live(weak)) {
      pick(running);
    }
  });
}

void CameraCommandRunner::readSerials(const JobPtr& job, std::function<void()> then) {
  auto round = std::make_shared<Round>();
  round->waiting = 1;  // held until every request is out
  round->then = std::move(then);
  const std::uint64_t generation = job->generation;
  for (const auto& device : manager_.devices()) {
    if (!device->isOpen() || QDataBase::storageKey(device->serialNumber())) {
      continue;
    }
    ++round->waiting;
    device->getSerialNumber([this, weak = std::weak_ptr(job), round, generation](
                                std::int64_t, const std::optional<std::string>&) {
      const JobPtr running = live(weak);
      if (running && running->generation == generation) {
        round->answered();
      }
    });
  }
  armStep(job, QStringLiteral("A camera did not tell its serial number"));
  round->answered();
}

void CameraCommandRunner::pick(const JobPtr& job) {
  disarmStep(job);
  const QString& wanted = job->request.camera;
  QStringList known;
  for (const auto& device : manager_.devices()) {
    const std::optional<QString> serial = QDataBase::storageKey(device->serialNumber());
    if (serial && *serial == wanted) {
      return chosen(job, device);
    }
    known.append(serial ? *serial : QString::fromStdString(device->key()));
  }
  const QString cameras = known.join(QStringLiteral(", "));
  if (wanted.isEmpty()) {
    return fail(job, ExitCode::NoCamera,
                QStringLiteral("Several cameras are connected (%1): choose one with --camera "
                               "SERIAL or --camera /dev/hidrawN.")
                    .arg(cameras));
  }
  fail(job, ExitCode::NoCamera,
       QStringLiteral("No camera has the serial number %1; the cameras are %2.")
           .arg(wanted, cameras));
}

void CameraCommandRunner::chosen(const JobPtr& job, const std::shared_ptr<USBDevice>& device) {
  if (const std::optional<QCameraAccessProblem> problem =
          QCameraAccess::check(*device, platform_)) {
    const QCameraAccessSystem& system = QCameraAccess::system(platform_);
    QString message = QCameraAccess::explain(*problem, system);
    message.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return fail(
        job, ExitCode::AccessRefused,
        message + QStringLiteral("\n\n") + plainText(QCameraAccess::fixSteps(*problem, system)));
  }
  job->device = device;
  // Replies carry no request number: a command the job gave up on must stop waiting when the
  // job does, or the camera's next reply of its kind would be taken for it.
  job->deviceReplyTimeout = device->commandReplyTimeout();
  device->setCommandReplyTimeout(job->request.timeout);
  QLog("Control, camera", device->key(), device->locationID());
  switch (job->request.command) {
    case Command::Get:
      return get(job);
    case Command::Set:
      return set(job);
    case Command::Save:
      return save(job);
    case Command::Firmware:
      return firmware(job);
    case Command::CheckUpdate:
      return checkUpdate(job);
    case Command::Preset:
      return preset(job);
    case Command::List:
    case Command::Doctor:
    case Command::Diagnostics:
    case Command::Demo:
      break;
  }
}

void CameraCommandRunner::usbHidManagerDidAttachDevice(const std::shared_ptr<USBDevice>& device) {
  for (const JobPtr& job : std::vector(jobs_)) {
    if (job->installation) {
      job->installation->cameraAttached(device);
    }
  }
}

void CameraCommandRunner::usbHidManagerDidRemoveDevice(const std::shared_ptr<USBDevice>& device) {
  for (const JobPtr& job : std::vector(jobs_)) {
    if (job->finished) {
      continue;
    }
    if (job->installation) {
      job->unplugged = job->unplugged || job->device == device;
      job->installation->cameraRemoved(device);
    } else if (job->request.command == Command::List) {
      list(job);  // starts over on the cameras that are left
    } else if (job->request.command == Command::Diagnostics) {
      continue;  // the report is made of the cameras there were when it started
    } else if (job->device == device) {
      fail(job, ExitCode::NoCamera, QStringLiteral("The camera was unplugged before it answered."));
    } else if (!job->device) {
      choose(job);  // a camera left while they were being read: choose again from the rest
    }
  }
}

bool CameraCommandRunner::openImageControls(const JobPtr& job) {
  if (job->uvc) {
    return true;
  }
  const std::optional<std::uint32_t> at = job->device->controlLocation();
  if (at) {
    job->uvc.emplace(*at, platform_.uvcTransportFactory());
  }
  if (!at || !job->uvc->hasInterface()) {
    job->uvc.reset();
    fail(job, ExitCode::Failed,
         QStringLiteral("The camera's image controls are not available (no video-control "
                        "channel at %1).")
             .arg(locationText(job->device->locationID())));
    return false;
  }
  const QUVCParams read = uvccontrols::read(*job->uvc);
  // Corrections of values outside the range are the image page's business, not this request's.
  job->image.load(read, std::nullopt);
  job->imageRead = read;
  return true;
}

// ---- list ------------------------------------------------------------------------------------

void CameraCommandRunner::list(const JobPtr& job) {
  const std::uint64_t generation = ++job->generation;
  auto round = std::make_shared<Round>();
  round->waiting = 1;
  round->then = [this, weak = std::weak_ptr(job)] {
    if (const JobPtr running = live(weak)) {
      finishList(running);
    }
  };
  const auto answered = [this, weak = std::weak_ptr(job), round, generation] {
    const JobPtr running = live(weak);
    if (running && running->generation == generation) {
      round->answered();
    }
  };
  job->videoPaths.clear();
  job->states.clear();
  if (!job->search && platform_.captureBackend()) {
    job->search = new CaptureDeviceSearch(platform_.captureBackend(), this);
  }
  for (const auto& device : manager_.devices()) {
    if (job->search) {
      ++round->waiting;
      job->search->find(device->locationID(),
                        [weak = std::weak_ptr(job), key = device->key(),
                         answered](const std::optional<video::CaptureDevice>& found) {
                          if (const JobPtr running = weak.lock(); running && found) {
                            running->videoPaths[key] = QString::fromStdString(found->path);
                          }
                          answered();
                        });
    }
    if (!device->isOpen()) {
      continue;
    }
    round->waiting += 3;
    device->getSerialNumber([answered](std::int64_t, const auto&) { answered(); });
    device->getVersion([answered](std::int64_t, const auto&) { answered(); });
    // The state as the camera tells it now: one that stays silent is of unknown state.
    device->getState([weak = std::weak_ptr(job), key = device->key(), answered](
                         std::int64_t code, std::int64_t state) {
      if (const JobPtr running = weak.lock(); running && code == 0) {
        running->states[key] = state;
      }
      answered();
    });
  }
  // A camera that stays silent is listed with what is known of it.
  job->onTimeout = [this, weak = std::weak_ptr(job)] {
    if (const JobPtr running = live(weak)) {
      finishList(running);
    }
  };
  armStep(job, QString());
  answered();
}

void CameraCommandRunner::finishList(const JobPtr& job) {
  QJsonArray cameras;
  for (const auto& device : manager_.devices()) {
    const std::optional<QCameraAccessProblem> problem = QCameraAccess::check(*device, platform_);
    const auto video = job->videoPaths.find(device->key());
    const auto told = job->states.find(device->key());
    const std::int64_t state = told != job->states.end() ? told->second : 0;
    cameras.append(QJsonObject{
        {QStringLiteral("serial"), shownText(device->serialNumber())},
        {QStringLiteral("name"), QString::fromStdString(device->name())},
        {QStringLiteral("model"), QString::fromStdString(device->modelName())},
        {QStringLiteral("version"), shownText(device->version())},
        {QStringLiteral("state"), state == 1   ? QStringLiteral("connected")
                                  : state == 2 ? QStringLiteral("failed")
                                               : QStringLiteral("unknown")},
        {QStringLiteral("location"), locationText(device->locationID())},
        {QStringLiteral("hidraw"), QString::fromStdString(device->key())},
        {QStringLiteral("video"),
         video != job->videoPaths.end() ? QJsonValue(video->second) : QJsonValue()},
        {QStringLiteral("access"), problem ? refusedText(*problem) : QStringLiteral("ok")},
    });
  }
  finish(job, {ExitCode::Done, cameras, QString(), std::nullopt});
}

// ---- get and set -----------------------------------------------------------------------------

void CameraCommandRunner::get(const JobPtr& job) {
  const bool image = std::any_of(job->ids.begin(), job->ids.end(), [](Id id) {
    return ControlSetting::imageControl(id).has_value();
  });
  if (image && !openImageControls(job)) {
    return;
  }
  const bool all = job->request.settings.isEmpty();
  if (!job->furtherKeys.isEmpty() && !openControls(job, true)) {
    return;
  }
  if (all) {
    openControls(job, false);  // the further controls too, when the camera lists them
  }
  std::vector<const VideoControl*> further;
  for (const VideoControl& control : job->cameraControls) {
    if (all && !isImagePageControl(control.id)) {
      further.push_back(&control);
    }
  }
  for (const QString& key : job->furtherKeys) {
    const VideoControl* control = FurtherControl::find(job->cameraControls, key);
    if (control == nullptr) {
      return fail(job, ExitCode::Usage, FurtherControl::unknown(key, job->cameraControls));
    }
    further.push_back(control);
  }
  auto read = std::make_shared<std::map<Field, std::int64_t>>();
  auto round = std::make_shared<Round>();
  round->waiting = 1;
  round->then = [this, weak = std::weak_ptr(job), read, further] {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    QJsonObject values;
    for (const VideoControl* control : further) {
      values.insert(QString::fromStdString(control->key),
                    FurtherControl::toJson(*control, control->value));
    }
    for (const Id id : running->ids) {
      std::int64_t value = 0;
      if (const auto field = ControlSetting::hidField(id)) {
        value = read->at(*field);
      } else {
        value = controlValue(running->imageRead, *ControlSetting::imageControl(id));
      }
      values.insert(ControlSetting::word(id), ControlSetting::toJson(id, value));
    }
    finish(running, {ExitCode::Done, values, QString(), std::nullopt});
  };
  for (const Id id : job->ids) {
    const std::optional<Field> field = ControlSetting::hidField(id);
    if (!field) {
      continue;
    }
    ++round->waiting;
    hidfields::read(*job->device, *field,
                    [this, weak = std::weak_ptr(job), read, round, id, field = *field](
                        std::int64_t code, std::int64_t value) {
                      const JobPtr running = live(weak);
                      if (!running) {
                        return;
                      }
                      if (code != 0) {
                        return failCode(running, code,
                                        QStringLiteral("reading %1").arg(ControlSetting::word(id)));
                      }
                      (*read)[field] = value;
                      round->answered();
                    });
  }
  armStep(job, QStringLiteral("The camera did not tell its settings"));
  round->answered();
}

void CameraCommandRunner::set(const JobPtr& job) {
  const bool functions = std::any_of(job->values.begin(), job->values.end(), [](const auto& v) {
    return ControlSetting::hidField(v.id).has_value();
  });
  const bool image = std::any_of(job->values.begin(), job->values.end(), [](const auto& v) {
    return !ControlSetting::hidField(v.id).has_value();
  });
  if (image && !openImageControls(job)) {
    return;
  }
  job->further.resize(job->values.size());
  for (std::size_t i = 0; i < job->furtherItems.size(); ++i) {
    const QString& item = job->furtherItems[i];
    if (item.isEmpty()) {
      continue;
    }
    if (!job->controls && !openControls(job, true)) {
      return;
    }
    const QString key = item.section(u'=', 0, 0);
    const VideoControl* control = FurtherControl::find(job->cameraControls, key);
    if (control == nullptr) {
      return fail(job, ExitCode::Usage, FurtherControl::unknown(key, job->cameraControls));
    }
    if (control->readOnly) {
      return fail(job, ExitCode::Usage, QStringLiteral("%1 can only be read").arg(key));
    }
    QString error;
    const std::optional<std::int64_t> value =
        FurtherControl::parse(*control, item.section(u'=', 1), &error);
    if (!value) {
      return fail(job, ExitCode::Usage, error);
    }
    job->further[i] = QPresetFit::Setting{control->id, control->key, *value};
  }
  if (!functions) {
    return applyNext(job);
  }
  // The function page's rules need the camera's functions as they are.
  loadFunctions(job, [this, weak = std::weak_ptr(job)] {
    if (const JobPtr running = live(weak)) {
      applyNext(running);
    }
  });
}

void CameraCommandRunner::loadFunctions(const JobPtr& job, std::function<void()> then) {
  job->functions.beginLoad();
  for (const Field field : kFields) {
    hidfields::read(
        *job->device, field,
        [this, weak = std::weak_ptr(job), field, then](std::int64_t code, std::int64_t value) {
          const JobPtr running = live(weak);
          if (!running) {
            return;
          }
          if (code != 0) {
            return failCode(running, code, QStringLiteral("reading its functions"));
          }
          if (running->functions.storeLoaded(field, value)) {
            disarmStep(running);
            then();
          }
        });
  }
  armStep(job, QStringLiteral("The camera did not tell its functions"));
}

void CameraCommandRunner::applyNext(const JobPtr& job) {
  disarmStep(job);
  while (job->next < job->values.size()) {
    const ControlSetting::Value& value = job->values[job->next];
    const std::optional<Field> field = ControlSetting::hidField(value.id);
    if (job->further[job->next]) {
      if (!applyFurther(job)) {
        return;
      }
      ++job->next;
      continue;
    }
    if (!field) {
      if (!applyImage(job)) {
        return;
      }
      ++job->next;
      continue;
    }
    // Switching one tracking function on switches the other off first, as the function page
    // does.
    QFunctionControlModel& model = job->functions;
    switch (value.id) {
      case Id::autoFraming:
        job->commands = value.value != 0 ? model.chooseAutoFraming()
                                         : QFunctionControlModel::Commands{{*field, 0}};
        break;
      case Id::peopleBox:
        job->commands = value.value != 0 ? model.choosePeopleBox()
                                         : QFunctionControlModel::Commands{{*field, 0}};
        break;
      case Id::framingMode:
        job->commands = model.chooseFramingMode(value.value);
        break;
      case Id::angle:
        job->commands = model.chooseAngleItem(cameraparams::itemForAngle(value.value));
        break;
      case Id::pickup:
        job->commands = model.choosePickupItem(cameraparams::itemForPickup(value.value));
        break;
      default:
        job->commands = model.setMirror(value.value != 0);
        break;
    }
    return sendFunctions(job, 0);
  }
  finish(job, {ExitCode::Done, job->result, QString(), std::nullopt});
}

void CameraCommandRunner::sendFunctions(const JobPtr& job, std::size_t index) {
  const ControlSetting::Value& value = job->values[job->next];
  const QString item = ControlSetting::word(value.id) + QLatin1Char('=') +
                       ControlSetting::text(value.id, value.value);
  if (index == job->commands.size()) {
    job->result.insert(ControlSetting::word(value.id),
                       ControlSetting::toJson(value.id, value.value));
    ++job->next;
    return applyNext(job);
  }
  armStep(job, QStringLiteral("The camera did not answer %1").arg(item));
  hidfields::write(*job->device, job->commands[index],
                   [this, weak = std::weak_ptr(job), index, item](std::int64_t code) {
                     const JobPtr running = live(weak);
                     if (!running) {
                       return;
                     }
                     if (code != 0) {
                       return failCode(running, code, item);
                     }
                     sendFunctions(running, index + 1);
                   });
}

bool CameraCommandRunner::applyImage(const JobPtr& job) {
  const ControlSetting::Value& value = job->values[job->next];
  QImageControlModel::Commands commands;
  if (value.id == Id::preset) {
    const auto mode = *QUVCParams::imageMode(value.value);
    commands = job->image.resetParams(mode, QUVCParams::preset(mode));
  } else {
    commands = job->image.sliderReleased(*ControlSetting::imageControl(value.id),
                                         cameraparams::positionForUvcValue(value.value));
  }
  // The keeper hears the new values first, so it takes them for its own and never sets them back.
  hold(job);
  for (const QUVCSetting& command : commands) {
    if (!uvccontrols::write(*job->uvc, command)) {
      fail(job, ExitCode::Failed,
           QStringLiteral("The camera refused %1=%2.")
               .arg(ControlSetting::word(value.id), QString::number(command.value)));
      return false;
    }
  }
  job->result.insert(ControlSetting::word(value.id), ControlSetting::toJson(value.id, value.value));
  return true;
}

bool CameraCommandRunner::applyFurther(const JobPtr& job) {
  const QPresetFit::Setting& setting = *job->further[job->next];
  auto control = std::find_if(job->cameraControls.begin(), job->cameraControls.end(),
                              [&setting](const VideoControl& c) { return c.id == setting.id; });
  const std::int64_t before = std::exchange(control->value, setting.value);
  hold(job);
  if (const int error = job->controls->set(setting.id, setting.value); error != 0) {
    control->value = before;  // the keeper holds what the camera has, not what it refused
    hold(job);
    return controlRefused(job, *control, setting.value, error);
  }
  job->result.insert(QString::fromStdString(setting.key),
                     FurtherControl::toJson(*control, setting.value));
  return true;
}

void CameraCommandRunner::hold(const JobPtr& job, const std::vector<QPresetFit::Setting>& sending) {
  const std::optional<std::uint32_t> at = job->device->controlLocation();
  if (!keeper_ || !at) {
    return;
  }
  QUVCParams held;
  if (job->controls) {
    held = PresetCommand::heldValues(job->cameraControls, sending);
  } else if (const std::optional<QUVCParams> kept = keeper_->heldValues(*at)) {
    held.further = kept->further;
  }
  // The image page's four as this request leaves them, unless a preset sends its own.
  if (job->uvc && sending.empty()) {
    const QUVCParams& image = *job->image.changeCameraParams();
    held.brightness = image.brightness;
    held.contrast = image.contrast;
    held.saturation = image.saturation;
    held.sharpness = image.sharpness;
  }
  keeper_->holdTo(*at, held);
}

bool CameraCommandRunner::openControls(const JobPtr& job, bool required) {
  if (job->controls) {
    return true;
  }
  if (const std::optional<std::uint32_t> at = job->device->controlLocation()) {
    job->controls = platform_.uvcTransportFactory().openControlsByLocation(*at);
  }
  if (!job->controls) {
    if (required) {
      fail(job, ExitCode::Failed,
           QStringLiteral("The camera's image controls are not available (no video node at %1).")
               .arg(locationText(job->device->locationID())));
    }
    return false;
  }
  job->cameraControls = job->controls->enumerate();
  return true;
}

bool CameraCommandRunner::controlRefused(const JobPtr& job, const VideoControl& control,
                                         std::int64_t value, int error) {
  const QString key = QString::fromStdString(control.key);
  const std::optional<std::uint32_t> owner = owningAutomaticControl(control.id);
  const auto automatic =
      owner ? std::find_if(job->cameraControls.begin(), job->cameraControls.end(),
                           [&owner](const VideoControl& c) { return c.id == *owner; })
            : job->cameraControls.end();
  if (error == ENODEV) {
    fail(job, ExitCode::NoCamera, QStringLiteral("The camera was unplugged before it answered."));
  } else if (automatic != job->cameraControls.end() && (error == EACCES || error == EBUSY)) {
    const QString mode = QString::fromStdString(automatic->key);
    if (job->request.command == Command::Preset) {
      // The preset leaves the automatic mode on, so the manual value has no say.
      QLog("Control, preset, left to its automatic mode", control.key, automatic->key);
      return true;
    }
    fail(job, ExitCode::Failed,
         QStringLiteral("%1 cannot be set while %2 is automatic; set %2 first.").arg(key, mode));
  } else {
    fail(job, ExitCode::Failed,
         QStringLiteral("The camera refused %1=%2 (%3).")
             .arg(key, FurtherControl::toJson(control, value).toVariant().toString(),
                  QString::fromLocal8Bit(std::strerror(error))));
  }
  return false;
}

// ---- presets ---------------------------------------------------------------------------------

void CameraCommandRunner::preset(const JobPtr& job) {
  using Action = ControlRequest::PresetAction;
  const ControlRequest& request = job->request;
  PresetCommand presets(QPresetStore(
      QPresetStore::modelKey(job->device->vendorId(), job->device->productId()), presetFile_));
  switch (request.presetAction) {
    case Action::List:
      return finish(job, presets.list());
    case Action::Export:
      return finish(
          job, presets.exportTo(request.allPresets ? QString() : request.presetName, request.file));
    case Action::Import:
      if (openControls(job, true)) {
        finish(job, presets.importFrom(request.file, job->cameraControls));
      }
      return;
    case Action::Save:
      if (!openControls(job, true)) {
        return;
      }
      return loadFunctions(job, [this, weak = std::weak_ptr(job), presets]() mutable {
        if (const JobPtr running = live(weak)) {
          finish(running,
                 presets.save(running->request.presetName, *running->functions.cameraParams(),
                              running->cameraControls));
        }
      });
    case Action::Apply: {
      ControlReply failure;
      const std::optional<QPreset> preset = presets.find(request.presetName, &failure);
      if (!preset) {
        return finish(job, failure);
      }
      if (openControls(job, true)) {
        applyPreset(job, *preset);
      }
      return;
    }
  }
}

void CameraCommandRunner::applyPreset(const JobPtr& job, const QPreset& preset) {
  const QPresetFit fit = fitPreset(preset.controls, job->cameraControls);
  job->adjusted = PresetCommand::adjustments(preset.name, fit);
  hold(job, fit.settings);
  for (const QPresetFit::Setting& setting : fit.settings) {
    const auto control =
        std::find_if(job->cameraControls.begin(), job->cameraControls.end(),
                     [&setting](const VideoControl& c) { return c.id == setting.id; });
    if (const int error = job->controls->set(setting.id, setting.value); error != 0) {
      if (control == job->cameraControls.end() ||
          !controlRefused(job, *control, setting.value, error)) {
        return;
      }
    }
  }
  job->result = QJsonObject{{QStringLiteral("name"), preset.name},
                            {QStringLiteral("controls"), static_cast<qint64>(fit.settings.size())}};
  job->commands = PresetCommand::functionCommands(preset.functions);
  sendPresetFunctions(job, 0);
}

void CameraCommandRunner::sendPresetFunctions(const JobPtr& job, std::size_t index) {
  if (index == job->commands.size()) {
    disarmStep(job);
    ControlReply reply{ExitCode::Done, job->result,
                       QStringLiteral("Applied preset \"%1\".").arg(job->request.presetName),
                       std::nullopt};
    reply.adjusted = job->adjusted;
    return finish(job, reply);
  }
  armStep(job, QStringLiteral("The camera did not answer the preset's functions"));
  hidfields::write(*job->device, job->commands[index],
                   [this, weak = std::weak_ptr(job), index](std::int64_t code) {
                     const JobPtr running = live(weak);
                     if (!running) {
                       return;
                     }
                     if (code != 0) {
                       return failCode(running, code, QStringLiteral("the preset's functions"));
                     }
                     sendPresetFunctions(running, index + 1);
                   });
}

// ---- save ------------------------------------------------------------------------------------

void CameraCommandRunner::save(const JobPtr& job) {
  if (!QDataBase::storageKey(job->device->serialNumber())) {
    // The record goes under the serial number: read it first when nobody has yet.
    armStep(job, QStringLiteral("The camera did not tell its serial number"));
    job->device->getSerialNumber(
        [this, weak = std::weak_ptr(job)](std::int64_t code, const std::optional<std::string>&) {
          const JobPtr running = live(weak);
          if (!running) {
            return;
          }
          if (code != 0) {
            return failCode(running, code, QStringLiteral("reading its serial number"));
          }
          saved(running);
        });
    return;
  }
  saved(job);
}

void CameraCommandRunner::saved(const JobPtr& job) {
  const std::optional<QString> serial = QDataBase::storageKey(job->device->serialNumber());
  if (!serial) {
    return fail(job, ExitCode::Failed, QStringLiteral("The camera gave an empty serial number."));
  }
  if (!openImageControls(job)) {
    return;
  }
  QUVCParams record = recordOf(*job->image.cameraParams());
  // The record keeps the camera's further controls too, when its video node lists them.
  if (openControls(job, false)) {
    record.further = PresetCommand::heldValues(job->cameraControls, {}).further;
  }
  armStep(job, QStringLiteral("The camera did not answer the save"));
  job->device->saveUVC([this, weak = std::weak_ptr(job), record, serial](std::int64_t code) {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    if (code != 0) {
      return failCode(running, code, QStringLiteral("the save"));
    }
    if (!dataBase_.setUVCParams(record, *serial)) {
      return fail(running, ExitCode::Failed,
                  QStringLiteral("The camera saved its settings, but its image settings could "
                                 "not be recorded on this computer."));
    }
    if (const std::optional<std::uint32_t> at = running->device->controlLocation(); keeper_ && at) {
      keeper_->holdToRecord(*at);
    }
    QJsonObject image;
    for (const auto control : QImageControlModel::kControls) {
      const Id id = control == QUVCSetting::Control::brightness   ? Id::brightness
                    : control == QUVCSetting::Control::contrast   ? Id::contrast
                    : control == QUVCSetting::Control::saturation ? Id::saturation
                                                                  : Id::sharpness;
      image.insert(ControlSetting::word(id), static_cast<qint64>(controlValue(record, control)));
    }
    finish(running,
           {ExitCode::Done,
            QJsonObject{{QStringLiteral("serial"), *serial}, {QStringLiteral("recorded"), image}},
            QString(), std::nullopt});
  });
}

// ---- firmware --------------------------------------------------------------------------------

void CameraCommandRunner::firmware(const JobPtr& job) {
  if (platform_.firmwareInstalling()) {
    return fail(job, ExitCode::Failed,
                QStringLiteral("Another firmware installation is running; try again when it "
                               "has ended."));
  }
  auto* installation = new FirmwareInstallation(job->device, platform_, this);
  job->installation = installation;
  const std::weak_ptr<Job> weak = job;
  connect(installation, &FirmwareInstallation::refusedForUnknownVersion, this, [this, weak] {
    if (const JobPtr running = live(weak)) {
      fail(running, ExitCode::Failed,
           QStringLiteral("The camera's firmware version could not be read, so the package was "
                          "not installed."));
    }
  });
  connect(installation, &FirmwareInstallation::transferEnded, this, [this, weak](qint64 code) {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    running->device->setTransferReplyTimeout(FirmwareTransfer::kDefaultReplyTimeout);
    running->transferring = false;
    if (code != 0) {
      return failCode(running, code, QStringLiteral("the firmware package"));
    }
    QLog("Control, firmware transferred");
    if (!running->request.wait) {
      finish(running,
             {ExitCode::Done,
              QJsonObject{{QStringLiteral("previous"), running->installation->currentVersion()},
                          {QStringLiteral("transferred"), true}},
              QString(), std::nullopt});
    }
  });
  connect(installation, &FirmwareInstallation::verifying, this, [weak] {
    if (const JobPtr running = weak.lock()) {
      running->restarted = true;
    }
  });
  connect(installation, &FirmwareInstallation::completed, this, [this, weak] {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    finish(running,
           {ExitCode::Done,
            QJsonObject{{QStringLiteral("previous"), running->installation->currentVersion()},
                        {QStringLiteral("version"), running->installation->reportedVersion()}},
            QString(), std::nullopt});
  });
  connect(installation, &FirmwareInstallation::failed, this, [this, weak] {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    FirmwareInstallation& model = *running->installation;
    QString message = QStringLiteral("The camera reported a failure after its restart.");
    if (!running->restarted) {
      message = running->unplugged
                    ? QStringLiteral(
                          "The camera was unplugged during the transfer; the package "
                          "was not installed.")
                    : QStringLiteral("The firmware package could not be sent to the camera.");
    } else if (model.reportedVersion() == model.currentVersion()) {
      message = QStringLiteral(
                    "The camera came back with the same version %1: the package was "
                    "not installed.")
                    .arg(model.currentVersion());
    } else if (model.reportedVersion().isEmpty()) {
      message = QStringLiteral("The camera did not tell its version after its restart.");
    }
    fail(running, ExitCode::Failed, message);
  });
  connect(installation, &FirmwareInstallation::timedOut, this, [this, weak] {
    if (const JobPtr running = live(weak)) {
      fail(running, ExitCode::NoAnswer,
           QStringLiteral("The camera did not come back within %1 s after the transfer.")
               .arg(FirmwareInstallation::timeoutSeconds));
    }
  });
  // The camera that comes back is recognised by its serial number, the update by its version.
  armStep(job, QStringLiteral("The camera did not tell its serial number"));
  job->device->getSerialNumber([this, weak](std::int64_t code, const std::optional<std::string>&) {
    const JobPtr running = live(weak);
    if (!running) {
      return;
    }
    if (code != 0) {
      return failCode(running, code, QStringLiteral("reading its serial number"));
    }
    armStep(running, QStringLiteral("The camera did not tell its firmware version"));
    running->installation->rereadVersion([this, weak] { transfer(weak.lock()); });
  });
}

void CameraCommandRunner::transfer(const JobPtr& job) {
  if (!job || job->finished) {
    return;
  }
  disarmStep(job);
  // Each packet waits no longer than the request allows; the restart has its own bound.
  job->device->setTransferReplyTimeout(job->request.timeout);
  job->transferring = true;
  job->installation->install(job->request.file, [weak = std::weak_ptr(job)](int percent) {
    if (const JobPtr owner = weak.lock()) {
      owner->report(percent);
    }
  });
}

// ---- check-update ----------------------------------------------------------------------------

void CameraCommandRunner::checkUpdate(const JobPtr& job) {
  armStep(job, QStringLiteral("The camera did not tell its firmware version"));
  job->device->getVersion(
      [this, weak = std::weak_ptr(job)](std::int64_t code, const std::optional<std::string>& text) {
        const JobPtr running = live(weak);
        if (!running) {
          return;
        }
        if (code != 0) {
          return failCode(running, code, QStringLiteral("reading its firmware version"));
        }
        const QString current = shownText(text).toString();
        armStep(running, QStringLiteral("The update service did not answer"));
        net_.needVersionUpgrade(
            QString::fromStdString(running->device->modelName()), current,
            [this, weak, current](const RNetResponse& response,
                                  const std::optional<RVersionUpgradeInfo>& offer) {
              const JobPtr checked = live(weak);
              if (!checked) {
                return;
              }
              QLog("Control, check-update", response.code);
              if (!response.ok()) {
                return finish(checked, serviceFailure(response));
              }
              if (!offer) {
                return fail(checked, ExitCode::Failed,
                            QStringLiteral("The update service's answer carried no offer."));
              }
              checked->result = QJsonObject{{QStringLiteral("current"), current},
                                            {QStringLiteral("offered"), offer->version},
                                            {QStringLiteral("newer"), offer->needUpgrade},
                                            {QStringLiteral("required"), offer->forceStatus},
                                            {QStringLiteral("size"), offer->packageSize},
                                            {QStringLiteral("details"), offer->details},
                                            {QStringLiteral("url"), offer->downLoadUrl}};
              if (checked->request.file.isEmpty() || !offer->needUpgrade) {
                return finish(checked, {ExitCode::Done, checked->result, QString(), std::nullopt});
              }
              download(checked, offer->downLoadUrl);
            });
      });
}

void CameraCommandRunner::download(const JobPtr& job, const QString& url) {
  // A download may take long; the client ends it when no bytes arrive for a while.
  disarmStep(job);
  const std::weak_ptr<Job> weak = job;
  net_.download(
      url, job->request.file,
      [weak](int percent) {
        if (const JobPtr running = weak.lock()) {
          running->report(percent);
        }
      },
      [this, weak](const RNetResponse& response) {
        const JobPtr running = live(weak);
        if (!running) {
          return;
        }
        if (!response.ok()) {
          return finish(running, serviceFailure(response));
        }
        running->result.insert(QStringLiteral("downloaded"), running->request.file);
        finish(running, {ExitCode::Done, running->result, QString(), std::nullopt});
      });
}

}  // namespace vexhal::control
