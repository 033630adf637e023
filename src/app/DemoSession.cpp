#include "app/DemoSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "VirtualCameraRig.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_list/QCameraAccess.h"

namespace vexhal {

DemoSession::DemoSession() : rig_(std::make_unique<sim::VirtualCameraRig>()) {}

DemoSession::~DemoSession() {
  if (started_) {
    QCameraAccess::install(nullptr);
    QCameraControlVC::setDefaultCaptureBackend(nullptr);
  }
}

bool DemoSession::start(QString* error, QString* notice) {
  if (!rig_->installProcessWide()) {
    if (error != nullptr) {
      *error = QStringLiteral("the camera manager was already running");
    }
    return false;
  }
  // The virtual camera has no device nodes to be refused.
  QCameraAccess::install([](const USBDevice&) { return true; });
  // The control screen's preview shows the virtual camera's picture.
  QCameraControlVC::setDefaultCaptureBackend(rig_->captureBackend());
  started_ = true;
  QString listenError;
  if (!rig_->listen(QString::fromLatin1(sim::VirtualCameraRig::kDefaultServerName),
                    &listenError) &&
      notice != nullptr) {
    *notice = QStringLiteral("the virtual camera cannot be unplugged from outside: ") + listenError;
  }
  return true;
}

// The tool sits beside the program once installed, and in the build tree's sim/ folder.
QString DemoSession::usageLine() {
  QString tool = QStringLiteral("vexhal-sim");
  const QDir here(QCoreApplication::applicationDirPath());
  for (const QString& candidate :
       {here.filePath(QStringLiteral("vexhal-sim")),
        here.filePath(QStringLiteral("../../sim/vexhal-sim"))}) {
    if (QFileInfo(candidate).isExecutable()) {
      tool = QDir::cleanPath(candidate);
      break;
    }
  }
  return QStringLiteral(
             "vexhaltools: demo with one virtual camera attached. In another terminal, unplug "
             "it with `%1 unplug` and plug it back with `%1 plug` (`%1 help` lists the faults "
             "it can show).")
      .arg(tool);
}

}  // namespace vexhal
