#include "diagnostics/DiagnosticsExport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <pthread.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include <ostrane/QFileLogger.h>

#include "device/hid/USBHidManager.h"
#include "device/linux/V4l2Syscalls.h"
#include "diagnostics/DiagnosticsArchive.h"
#include "diagnostics/DiagnosticsReport.h"
#include "diagnostics/HidFactsReader.h"
#include "diagnostics/SerialMask.h"
#include "platform/CameraDoctor.h"
#include "platform/Platform.h"
#include "platform/QCameraAccessSystem.h"
#include "video/CaptureBackend.h"

namespace vexhal::diagnostics {

namespace {

using namespace std::chrono_literals;

// The HID requests end at the device's own reply timeout; this bound ends the wait regardless.
constexpr auto kHidBound = USBDevice::kDefaultCommandReplyTimeout + 1s;
// How long destroying the export waits for its worker before leaving it to finish alone.
constexpr auto kWorkerWait = 10s;

// What the worker needs, owned by it: it may outlive the export object.
struct Job {
  ExportOptions options;
  DiagnosticsReport report;
  // The cameras, beside their facts, for the doctor; released on the main thread.
  std::vector<std::shared_ptr<USBDevice>> devices;
  std::shared_ptr<const QCameraAccessSystem> system;
  std::shared_ptr<video::CaptureBackend> backend;
  std::shared_ptr<ostrane::QFileLogger> logs;
  ExportResult result;
};

void runJob(Job& job) {
  job.report.created = QDateTime::currentDateTime();
  job.report.system = SystemFacts::gather(job.system->root);
  const std::shared_ptr<V4l2Syscalls> syscalls = V4l2Syscalls::system();
  for (std::size_t i = 0; i < job.report.cameras.size(); ++i) {
    CameraFacts& camera = job.report.cameras[i];
    camera.examine(*job.system, job.backend.get(), *syscalls);
    // The doctor reads only what a device fixes when it is made: its node and location.
    const CameraDiagnosis diagnosis = CameraDoctor::examine(*job.devices[i], *job.system);
    camera.diagnosis = CameraDoctor::toJson(diagnosis);
    camera.diagnosisText = CameraDoctor::toText(diagnosis).split(u'\n', Qt::SkipEmptyParts);
  }
  job.result.path = job.options.target;
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    job.result.error = QStringLiteral("Could not write %1: no temporary folder could be made (%2)")
                           .arg(job.options.target, scratch.errorString());
    return;
  }
  QString logsZip;
  if (job.logs) {
    logsZip = QString::fromStdString(job.logs->zipLogDir(
        QFile::encodeName(scratch.filePath(QStringLiteral("QLogs.zip"))).toStdString()));
    job.report.logs = logsZip.isEmpty() ? QStringLiteral("the log folder could not be packed")
                                        : QStringLiteral("packed");
  }
  const SerialMask mask(job.report.serials());
  job.result.error =
      DiagnosticsArchive::write(job.options.target, logsZip,
                                {{QStringLiteral("report.json"), job.report.toJson()},
                                 {QStringLiteral("report.txt"), job.report.toText()}},
                                job.options.maskSerials ? &mask : nullptr);
  job.result.ok = job.result.error.isEmpty();
}

}  // namespace

struct DiagnosticsExport::Impl {
  Impl(USBHidManager& m, Platform& p, std::shared_ptr<ostrane::QFileLogger> l, QDataBase d)
      : manager(m), platform(p), logs(std::move(l)), dataBase(std::move(d)) {}

  USBHidManager& manager;
  Platform& platform;
  std::shared_ptr<ostrane::QFileLogger> logs;
  QDataBase dataBase;

  bool running = false;
  Done done;
  std::shared_ptr<Job> job;
  std::vector<std::shared_ptr<USBDevice>> devices;
  std::unique_ptr<HidFactsReader> reader;
  std::thread worker;
  std::future<void> workerDone;
  // Checked on the main thread by the worker's posted result: gone with this object.
  std::shared_ptr<int> alive = std::make_shared<int>(0);

  void gathered(std::vector<QJsonObject> functions);
  void deliver();
  void waitForWorker();
};

void DiagnosticsExport::Impl::gathered(std::vector<QJsonObject> functions) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    CameraFacts camera =
        CameraFacts::identify(*devices[i], platform.uvcTransportFactory(), dataBase);
    camera.functions = std::move(functions[i]);
    job->report.cameras.push_back(std::move(camera));
  }
  job->devices = std::exchange(devices, {});
  job->system = platform.accessSystem()
                    ? platform.accessSystem()
                    : std::make_shared<const QCameraAccessSystem>(QCameraAccessSystem::current());
  job->backend = platform.captureBackend();
  job->logs = logs;
  std::promise<void> finished;
  workerDone = finished.get_future();
  worker = std::thread([job = job, finished = std::move(finished), weak = std::weak_ptr<int>(alive),
                        self = this]() mutable {
    pthread_setname_np(pthread_self(), "diagnostics");
    runJob(*job);
    // The result goes to the main thread, where it is dropped if the export is gone by then;
    // the devices go along, to be released there.
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(
          app,
          [weak, self, devices = std::exchange(job->devices, {})] {
            if (weak.lock()) self->deliver();
          },
          Qt::QueuedConnection);
    }
    finished.set_value();
  });
}

void DiagnosticsExport::Impl::deliver() {
  if (worker.joinable()) worker.join();
  reader.reset();
  running = false;
  const ExportResult result = job->result;
  job.reset();
  std::exchange(done, {})(result);
}

void DiagnosticsExport::Impl::waitForWorker() {
  if (!worker.joinable()) return;
  if (workerDone.wait_for(kWorkerWait) == std::future_status::ready)
    worker.join();
  else
    worker.detach();  // it owns all it uses; its result will find no one
}

DiagnosticsExport::DiagnosticsExport(USBHidManager& manager, Platform& platform,
                                     std::shared_ptr<ostrane::QFileLogger> logs, QDataBase dataBase,
                                     QObject* parent)
    : QObject(parent),
      impl_(std::make_unique<Impl>(manager, platform, std::move(logs), std::move(dataBase))) {}

DiagnosticsExport::~DiagnosticsExport() {
  impl_->reader.reset();
  impl_->waitForWorker();
}

void DiagnosticsExport::start(const ExportOptions& options, Done done) {
  if (impl_->running) {
    QTimer::singleShot(0, this, [done = std::move(done)] {
      done({false, {}, QStringLiteral("A diagnostics export is already running.")});
    });
    return;
  }
  impl_->running = true;
  impl_->done = std::move(done);
  impl_->job = std::make_shared<Job>();
  impl_->job->options = options;
  impl_->devices = impl_->manager.devices();
  // The reader may finish at once (no camera); its end is taken at the next turn of the loop,
  // so `done` never runs inside start().
  QTimer::singleShot(0, this, [impl = impl_.get()] {
    impl->reader = std::make_unique<HidFactsReader>(
        impl->devices, kHidBound,
        [impl](std::vector<QJsonObject> functions) { impl->gathered(std::move(functions)); });
  });
}

bool DiagnosticsExport::running() const { return impl_->running; }

QString DiagnosticsExport::defaultFileName(const QDate& date) {
  return QStringLiteral("VexhalTools-diagnostics-%1.zip").arg(date.toString(Qt::ISODate));
}

}  // namespace vexhal::diagnostics
