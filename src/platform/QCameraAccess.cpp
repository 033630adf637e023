#include "platform/QCameraAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <initializer_list>

#include "device/hid/USBDevice.h"
#include "platform/CameraDoctor.h"

// The built-in copy of the help lives in this static library; its registration must be pulled
// in by hand, and outside any namespace.
static void initDeviceAccessHelp() { Q_INIT_RESOURCE(device_access_help); }

namespace vexhal {

namespace {

const char* const kGenericMessage =
    "Please allow Vexhaltools access to your camera in Security and Privacy under System "
    "Preferences.";

}  // namespace

std::optional<QCameraAccessProblem> QCameraAccess::check(const USBDevice& device,
                                                         const Platform& platform) {
  if (const Checker& checker = platform.accessChecker()) {
    if (checker(device)) {
      return std::nullopt;
    }
    return QCameraAccessProblem{};
  }
  return diagnose(device, system(platform));
}

const QCameraAccessSystem& QCameraAccess::system(const Platform& platform) {
  static const QCameraAccessSystem running = QCameraAccessSystem::current();
  return platform.accessSystem() ? *platform.accessSystem() : running;
}

std::optional<QCameraAccessProblem> QCameraAccess::diagnose(const USBDevice& device,
                                                            const QCameraAccessSystem& system) {
  // Only what blocks matters here: a video node another program streams from is told by the
  // control screen's preview, so the list does not look.
  QCameraAccessSystem quick = system;
  quick.captureBusy = nullptr;
  const std::optional<NodeFinding> problem = CameraDoctor::examine(device, quick).firstProblem();
  if (!problem) {
    return std::nullopt;
  }
  return QCameraAccessProblem{problem->node, problem->path, problem->error, problem->holder};
}

QString QCameraAccess::explain(const QCameraAccessProblem& problem,
                               const QCameraAccessSystem& system) {
  if (problem.node == QCameraAccessProblem::Node::Unknown) {
    return QString::fromLatin1(kGenericMessage);
  }
  const NodeFinding finding = CameraDoctor::judge(problem, system);
  const QString text = CameraDoctor::describe(finding, system, CameraDoctor::Layout::Alert);
  // The alert is short: where the fix is a command, "Setting" shows it.
  switch (finding.verdict) {
    case NodeFinding::Verdict::Refused:
      return text + (finding.refusal == NodeFinding::Refusal::RuleMissing
                         ? QStringLiteral(" Press Setting for the command that installs it.")
                     : finding.refusal == NodeFinding::Refusal::RuleNotApplied
                         ? QString()
                         : QStringLiteral(" Press Setting for the command."));
    case NodeFinding::Verdict::Failed:
      return text + QChar(QChar::LineSeparator) + QChar(QChar::LineSeparator) +
             QStringLiteral("Plug the camera in again; if that does not help, press Setting.");
    default:
      return text;
  }
}

QString QCameraAccess::fixSteps(const QCameraAccessProblem& problem,
                                const QCameraAccessSystem& system) {
  return CameraDoctor::fixSteps(CameraDoctor::judge(problem, system), system, true);
}

std::optional<QString> QCameraAccess::installedRule(const QCameraAccessSystem& system) {
  // The folders udev reads rules from.
  for (const char* dir :
       {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
    const QString path = QString::fromLatin1(dir) + '/' + QString::fromLatin1(kRuleName);
    if (QFileInfo::exists(system.rooted(path))) {
      return path;
    }
  }
  return std::nullopt;
}

std::optional<QString> QCameraAccess::packagedRule(const QCameraAccessSystem& system) {
  for (const QString& prefix : system.prefixes) {
    const QString path =
        prefix + QStringLiteral("/lib/udev/rules.d/") + QString::fromLatin1(kRuleName);
    if (QFileInfo::exists(system.rooted(path))) {
      return path;
    }
  }
  return std::nullopt;
}

QString QCameraAccess::helpText(const QCameraAccessSystem& system) {
  static const bool registered = (initDeviceAccessHelp(), true);
  Q_UNUSED(registered);
  QStringList candidates;
  for (const QString& dir : system.dataDirs) {
    candidates.append(dir + QStringLiteral("/vexhaltools/device-access.txt"));
  }
  candidates.append(QStringLiteral(":/help/device-access.txt"));
  for (const QString& path : candidates) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
      return QString::fromUtf8(file.readAll());
    }
  }
  return {};
}

}  // namespace vexhal
