#include "app/DemoSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "FirmwareImage.h"
#include "UpdateService.h"
#include "VirtualCameraRig.h"
#include "device/uvc/UVCCameraControl.h"
#include "net/ServiceEndpoint.h"
#include "platform/QCameraAccessSystem.h"
#include "video/CaptureBackend.h"

namespace vexhal {

DemoSession::DemoSession() : rig_(std::make_unique<sim::VirtualCameraRig>()) {
  platform_.setDiscoveryMaker([rig = rig_.get()] { return rig->makeDiscovery(); });
  platform_.setUvcTransportFactory(rig_->uvcTransportFactory());
  // The control screen's preview shows the virtual camera's picture.
  platform_.setCaptureBackend(rig_->captureBackend());
  // The virtual camera has no device nodes to be refused.
  platform_.setAccessChecker([](const USBDevice&) { return true; });
  // The doctor sees the virtual camera's capture device as its video node, always free.
  auto system = std::make_shared<QCameraAccessSystem>(QCameraAccessSystem::current());
  system->openError = [](const QString&) { return 0; };
  system->captureBusy = [](const QString&) { return false; };
  system->nodeHolder = [](const QString&) { return std::nullopt; };
  system->videoNodes = [backend = rig_->captureBackend()](std::int64_t locationId) {
    QStringList nodes;
    for (const video::CaptureDevice& device : backend->devices()) {
      if (UVCCameraControl::locationIdFromUniqueId(device.uniqueId) ==
          std::optional<std::uint32_t>(static_cast<std::uint32_t>(locationId))) {
        nodes.append(QString::fromStdString(device.path));
      }
    }
    return nodes;
  };
  platform_.setAccessSystem(std::move(system));
}

DemoSession::~DemoSession() = default;

bool DemoSession::start(QString* error, QString* notice) {
  if (!platform_.configureSharedManager()) {
    if (error != nullptr) {
      *error = QStringLiteral("the camera manager was already running");
    }
    return false;
  }
  QString listenError;
  if (!rig_->listen(QString::fromLatin1(sim::VirtualCameraRig::kDefaultServerName), &listenError) &&
      notice != nullptr) {
    *notice = QStringLiteral("the virtual camera cannot be unplugged from outside: ") + listenError;
  }
  startUpdateService(notice);
  return true;
}

// The service offers the next minor firmware version to the camera's current one, as a real
// image the virtual camera accepts; once installed, the camera is up to date.
bool DemoSession::startUpdateService(QString* notice) {
  auto service = std::make_unique<sim::UpdateService>();
  if (!service->listenHttp()) {
    if (notice != nullptr) {
      *notice = QStringLiteral("the local update service cannot listen; update checks will fail");
    }
    return false;
  }
  const QString model = QStringLiteral("VX-K31D");
  const sim::FirmwareVersion current = rig_->camera().firmwareVersion();
  const sim::FirmwareVersion next{current.major, static_cast<std::uint8_t>(current.minor + 1), 0};
  const QString nextText = QString::fromStdString(next.text());
  const QString path = QStringLiteral("/packages/firmware-%1.bin").arg(nextText);
  const QByteArray package = sim::buildFirmwareImage(next, QByteArray(256 * 1024, '\x5a'));
  service->addPackage(path, package);
  service->setAnswer(model, QString::fromStdString(current.text()),
                     sim::UpdateService::offer(
                         nextText, service->url(path, false),
                         QStringLiteral("Demo firmware %1:\n- Smoother auto framing\n- Faster "
                                        "start-up after an update")
                             .arg(nextText),
                         package, false));
  service->setAnswer(model, QStringLiteral("*"), sim::UpdateService::upToDate());
  service->setAnswer(QStringLiteral("KVR"), QStringLiteral("*"), sim::UpdateService::upToDate());
  serviceHost = service->url(QString(), false);
  servicePort = QString::number(service->httpPort());
  service_ = std::move(service);
  return true;
}

QString DemoSession::command(const QString& line) { return rig_->execute(line); }

// vexhalctl sits beside the program once installed, and in the build tree's cli/ folder.
QString DemoSession::usageLine() {
  QString tool = QStringLiteral("vexhalctl");
  const QDir here(QCoreApplication::applicationDirPath());
  for (const QString& candidate : {here.filePath(QStringLiteral("vexhalctl")),
                                   here.filePath(QStringLiteral("../cli/vexhalctl"))}) {
    if (QFileInfo(candidate).isExecutable()) {
      tool = QDir::cleanPath(candidate);
      break;
    }
  }
  return QStringLiteral(
             "vexhaltools: demo with one virtual camera attached. Unplug it, plug it back or "
             "give it a fault from the window's Demo menu, or in another terminal with `%1 demo "
             "unplug` and `%1 demo plug` (`%1 demo help` lists the faults it can show).")
      .arg(tool);
}

}  // namespace vexhal
