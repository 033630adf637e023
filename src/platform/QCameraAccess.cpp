#include "platform/QCameraAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "device/hid/USBDevice.h"

// The built-in copy of the help lives in this static library; its registration must be pulled
// in by hand, and outside any namespace.
static void initDeviceAccessHelp() { Q_INIT_RESOURCE(device_access_help); }

namespace vexhal {

namespace {

enum class Cause { Refused, Busy, Gone, Other };

Cause causeOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return Cause::Refused;
    case EBUSY:
    case EWOULDBLOCK:
      return Cause::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return Cause::Gone;
    default:
      return Cause::Other;
  }
}

const char* const kGenericMessage =
    "Please allow Vexhaltools access to your camera in Security and Privacy under System "
    "Preferences.";
const char* const kReload =
    "sudo udevadm control --reload-rules\n"
    "sudo udevadm trigger --subsystem-match=hidraw --subsystem-match=video4linux";

bool isSandboxed(const QCameraAccessSystem& system) {
  return system.isFlatpak() || !system.snapName.isEmpty();
}

QString subsystemOf(const QCameraAccessProblem& problem) {
  return problem.node == QCameraAccessProblem::Node::Control ? QStringLiteral("hidraw")
                                                             : QStringLiteral("video4linux");
}

QString nodeKind(const QCameraAccessProblem& problem) {
  return problem.node == QCameraAccessProblem::Node::Control ? QStringLiteral("control node")
                                                             : QStringLiteral("video node");
}

QString nodeText(const QCameraAccessProblem& problem) {
  return QStringLiteral("the camera's %1 %2").arg(nodeKind(problem), problem.path);
}

// "permission denied", to sit inside a sentence.
QString reason(int error) {
  QString text = QString::fromLocal8Bit(std::strerror(error));
  if (text.size() > 1 && text[0].isUpper() && text[1].isLower()) {
    text[0] = text[0].toLower();
  }
  return text;
}

QString pre(const QString& commands) {
  return QStringLiteral("<pre>") + commands.toHtmlEscaped() + QStringLiteral("</pre>");
}

QString para(const QString& text) { return QStringLiteral("<p>") + text + QStringLiteral("</p>"); }

QString sandboxSteps(const QCameraAccessProblem& problem, const QCameraAccessSystem& system) {
  if (system.isFlatpak()) {
    return para(QStringLiteral("VexhalTools runs in a Flatpak sandbox, which shows it only the "
                               "devices it was granted. Grant them, then start VexhalTools "
                               "again:")) +
           pre(QStringLiteral("flatpak override --user --device=all ") + system.flatpakAppId()) +
           para(QStringLiteral("The host still needs the udev rule %1 (from the VexhalTools "
                               "package) so that your user may open the camera.")
                    .arg(QString::fromLatin1(QCameraAccess::kRuleName)));
  }
  const bool control = problem.node == QCameraAccessProblem::Node::Control;
  return para(QStringLiteral("VexhalTools runs as a snap, which may open only the devices of "
                             "its connected interfaces. Connect the one for this node:")) +
         pre(QStringLiteral("sudo snap connect %1:%2")
                 .arg(system.snapName,
                      control ? QStringLiteral("hidraw") : QStringLiteral("camera"))) +
         (control ? para(QStringLiteral("<tt>snap interface hidraw</tt> lists the slot of the "
                                        "camera if the plain command asks for one."))
                  : QString()) +
         para(QStringLiteral("The host still needs the udev rule %1.")
                  .arg(QString::fromLatin1(QCameraAccess::kRuleName)));
}

QString groupSteps(const QCameraAccessProblem& problem, const QCameraAccessSystem& system) {
  const QString group =
      system.accessGroup ? system.accessGroup(system.rooted(problem.path)) : QString();
  const QString intro = para(
      QStringLiteral("This is a remote or second-seat session, and the udev rule grants access "
                     "only to the user at the computer's own seat."));
  if (!group.isEmpty()) {
    return intro +
           para(QStringLiteral("%1 belongs to the group \"%2\". Join it, then log out and in "
                               "again:")
                    .arg(problem.path.toHtmlEscaped(), group.toHtmlEscaped())) +
           pre(QStringLiteral("sudo usermod -aG %1 \"$USER\"").arg(group));
  }
  return intro +
         para(QStringLiteral("%1 gives no group access. Give it to the group \"plugdev\" with a "
                             "rule of your own, join that group, and log out and in again:")
                  .arg(problem.path.toHtmlEscaped())) +
         pre(QStringLiteral("echo 'SUBSYSTEM==\"%1\", ATTRS{idVendor}==\"b206\", "
                            "ATTRS{idProduct}==\"b215\", GROUP=\"plugdev\", MODE=\"0660\"' | "
                            "sudo tee /etc/udev/rules.d/70-vexhaltools-group.rules\n%2\n"
                            "sudo usermod -aG plugdev \"$USER\"")
                 .arg(subsystemOf(problem), QString::fromLatin1(kReload)));
}

QString ruleSteps(const QCameraAccessSystem& system) {
  if (const auto rule = QCameraAccess::installedRule(system)) {
    return para(QStringLiteral("The udev rule %1 is installed, but it has not been applied to "
                               "this camera yet. Unplug the camera and plug it in again, or log "
                               "out and in again, or apply it now:")
                    .arg(rule->toHtmlEscaped())) +
           pre(QString::fromLatin1(kReload));
  }
  const QString name = QString::fromLatin1(QCameraAccess::kRuleName);
  if (const auto copy = QCameraAccess::packagedRule(system)) {
    return para(QStringLiteral("The udev rule that grants access is not where udev reads "
                               "rules. Install the program's copy and apply it:")) +
           pre(QStringLiteral("sudo install -m 644 %1 /etc/udev/rules.d/\n%2")
                   .arg(*copy, QString::fromLatin1(kReload)));
  }
  return para(QStringLiteral("The udev rule that grants access is not installed. It comes with "
                             "the VexhalTools package; in the source it is "
                             "packaging/%1. Install it and apply it:")
                  .arg(name)) +
         pre(QStringLiteral("sudo install -m 644 packaging/%1 /etc/udev/rules.d/\n%2")
                 .arg(name, QString::fromLatin1(kReload)));
}

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
  if (device.openError() != 0) {
    return QCameraAccessProblem{QCameraAccessProblem::Node::Control,
                                QString::fromStdString(device.key()), device.openError()};
  }
  if (!system.videoNodes || !system.openError) {
    return std::nullopt;
  }
  for (const QString& node : system.videoNodes(device.locationID())) {
    const int error = system.openError(system.rooted(node));
    // A video node that is missing is still being set up (the control screen waits for it),
    // unless a sandbox hides it.
    if (error != 0 && (error != ENOENT || isSandboxed(system))) {
      return QCameraAccessProblem{QCameraAccessProblem::Node::Video, node, error};
    }
  }
  return std::nullopt;
}

QString QCameraAccess::explain(const QCameraAccessProblem& problem,
                               const QCameraAccessSystem& system) {
  if (problem.node == QCameraAccessProblem::Node::Unknown) {
    return QString::fromLatin1(kGenericMessage);
  }
  // The path starts a line of its own, so the narrow alert never breaks it at a slash.
  const QString opening =
      QStringLiteral("VexhalTools cannot open the camera's %1%2%3 (%4).%2%2")
          .arg(nodeKind(problem), QChar(QChar::LineSeparator), problem.path, reason(problem.error));
  const Cause cause = causeOf(problem.error);
  if (isSandboxed(system) && (cause == Cause::Refused || cause == Cause::Gone)) {
    return opening +
           (system.isFlatpak()
                ? QStringLiteral("The Flatpak sandbox must be allowed to use devices. ")
                : QStringLiteral("The snap must be connected to the device. ")) +
           QStringLiteral("Press Setting for the command.");
  }
  switch (cause) {
    case Cause::Refused:
      if (system.remoteSession) {
        return opening + QStringLiteral(
                             "The udev rule grants access only at the computer's own "
                             "seat, so this session needs group membership. Press "
                             "Setting for the command.");
      }
      if (installedRule(system)) {
        return opening + QStringLiteral(
                             "The udev rule is installed but not yet applied: unplug "
                             "the camera and plug it in again, or log out and back "
                             "in.");
      }
      return opening + QStringLiteral(
                           "The udev rule that grants access is not installed. Press "
                           "Setting for the command that installs it.");
    case Cause::Busy:
      return opening + QStringLiteral(
                           "Another program is using it: close that program and try "
                           "again.");
    case Cause::Gone:
      return opening + QStringLiteral(
                           "The camera was unplugged or is restarting: plug it in "
                           "again.");
    case Cause::Other:
      break;
  }
  return opening + QStringLiteral(
                       "Plug the camera in again; if that does not help, press "
                       "Setting.");
}

QString QCameraAccess::fixSteps(const QCameraAccessProblem& problem,
                                const QCameraAccessSystem& system) {
  if (problem.node == QCameraAccessProblem::Node::Unknown) {
    return para(QStringLiteral("VexhalTools needs to open the camera's control node "
                               "(/dev/hidraw*) and video node (/dev/video*).")) +
           ruleSteps(system);
  }
  const QString heading =
      para(QStringLiteral("VexhalTools cannot open %1: %2.")
               .arg(nodeText(problem).toHtmlEscaped(), reason(problem.error).toHtmlEscaped()));
  const Cause cause = causeOf(problem.error);
  if (isSandboxed(system) && (cause == Cause::Refused || cause == Cause::Gone)) {
    return heading + sandboxSteps(problem, system);
  }
  switch (cause) {
    case Cause::Refused:
      return heading + (system.remoteSession ? groupSteps(problem, system) : ruleSteps(system));
    case Cause::Busy:
      return heading + para(QStringLiteral("Another program holds it. This shows which:")) +
             pre(QStringLiteral("fuser -v ") + problem.path) +
             para(QStringLiteral("Close that program, then press the camera again."));
    case Cause::Gone:
      return heading + para(QStringLiteral("Plug the camera in again and wait until its row "
                                           "shows \"Connected\". If it keeps disappearing, try "
                                           "another USB port or cable."));
    case Cause::Other:
      break;
  }
  return heading + para(QStringLiteral("Unplug the camera and plug it in again. If the error "
                                       "stays, the kernel log (<tt>journalctl -k</tt>) tells "
                                       "more."));
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
