#include "platform/CameraDoctor.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <utility>

#include "device/hid/USBDevice.h"
#include "platform/QCameraAccess.h"
#include "platform/QCameraAccessSystem.h"

namespace vexhal {

namespace {

using Node = QCameraAccessProblem::Node;
using Verdict = NodeFinding::Verdict;
using Refusal = NodeFinding::Refusal;

const char* const kReload =
    "sudo udevadm control --reload-rules\n"
    "sudo udevadm trigger --subsystem-match=hidraw --subsystem-match=video4linux";

// One step of a fix: a sentence (`code` in backquotes), or commands to run as they stand.
struct Step {
  bool commands = false;
  QString text;
};
using Steps = std::vector<Step>;

Step say(const QString& text) { return {false, text}; }
Step run(const QString& commands) { return {true, commands}; }

bool isSandboxed(const QCameraAccessSystem& system) {
  return system.isFlatpak() || !system.snapName.isEmpty();
}

QString nodeKind(Node node) {
  return node == Node::Control ? QStringLiteral("control node") : QStringLiteral("video node");
}

// "permission denied", to sit inside a sentence.
QString reason(int error) {
  QString text = QString::fromLocal8Bit(std::strerror(error));
  if (text.size() > 1 && text[0].isUpper() && text[1].isLower()) {
    text[0] = text[0].toLower();
  }
  return text;
}

Verdict verdictOf(int error) {
  switch (error) {
    case 0:
      return Verdict::Opens;
    case EACCES:
    case EPERM:
      return Verdict::Refused;
    case EBUSY:
    case EWOULDBLOCK:
      return Verdict::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return Verdict::Missing;
    default:
      return Verdict::Failed;
  }
}

// Why a refused node (or one a sandbox hides) is refused here.
Refusal refusalOn(const QCameraAccessSystem& system) {
  if (isSandboxed(system)) {
    return Refusal::Sandbox;
  }
  if (system.remoteSession) {
    return Refusal::NotSeatUser;
  }
  return QCameraAccess::installedRule(system) ? Refusal::RuleNotApplied : Refusal::RuleMissing;
}

// The sentence after "cannot open ...": why, and what the user does when it is short.
QString because(const NodeFinding& finding, const QCameraAccessSystem& system) {
  switch (finding.verdict) {
    case Verdict::Opens:
    case Verdict::Failed:
      return {};
    case Verdict::Missing:
      return finding.path.isEmpty()
                 ? QStringLiteral(
                       "Its video interface may still be starting: wait a moment, or "
                       "plug the camera in again.")
                 : QStringLiteral("The camera was unplugged or is restarting: plug it in again.");
    case Verdict::Busy:
      return finding.holder ? CameraDoctor::inUseText(*finding.holder) +
                                  QStringLiteral(" Close that program and try again.")
                            : QStringLiteral(
                                  "Another program is using it: close that program "
                                  "and try again.");
    case Verdict::Refused:
      break;
  }
  switch (finding.refusal) {
    case Refusal::Sandbox:
      return system.isFlatpak()
                 ? QStringLiteral("The Flatpak sandbox must be allowed to use devices.")
                 : QStringLiteral("The snap must be connected to the device.");
    case Refusal::NotSeatUser:
      return QStringLiteral(
          "The udev rule grants access only at the computer's own seat, so "
          "this session needs group membership.");
    case Refusal::RuleNotApplied:
      return QStringLiteral(
          "The udev rule is installed but not yet applied: unplug the camera "
          "and plug it in again, or log out and back in.");
    case Refusal::RuleMissing:
    case Refusal::None:
      break;
  }
  return QStringLiteral("The udev rule that grants access is not installed.");
}

Steps sandboxSteps(Node node, const QCameraAccessSystem& system) {
  const QString host = QStringLiteral("The host still needs the udev rule %1")
                           .arg(QString::fromLatin1(QCameraAccess::kRuleName));
  if (system.isFlatpak()) {
    return {say(QStringLiteral("VexhalTools runs in a Flatpak sandbox, which shows it only the "
                               "devices it was granted. Grant them, then start VexhalTools "
                               "again:")),
            run(QStringLiteral("flatpak override --user --device=all ") + system.flatpakAppId()),
            say(host + QStringLiteral(" (from the VexhalTools package) so that your user may "
                                      "open the camera."))};
  }
  const bool control = node == Node::Control;
  Steps steps{say(QStringLiteral("VexhalTools runs as a snap, which may open only the devices of "
                                 "its connected interfaces. Connect the one for this node:")),
              run(QStringLiteral("sudo snap connect %1:%2")
                      .arg(system.snapName,
                           control ? QStringLiteral("hidraw") : QStringLiteral("camera")))};
  if (control) {
    steps.push_back(
        say(QStringLiteral("`snap interface hidraw` lists the slot of the camera if "
                           "the plain command asks for one.")));
  }
  steps.push_back(say(host + '.'));
  return steps;
}

Steps groupSteps(const NodeFinding& finding, const QCameraAccessSystem& system) {
  const QString group =
      system.accessGroup ? system.accessGroup(system.rooted(finding.path)) : QString();
  const Step intro =
      say(QStringLiteral("This is a remote or second-seat session, and the udev rule grants "
                         "access only to the user at the computer's own seat."));
  if (!group.isEmpty()) {
    return {intro,
            say(QStringLiteral("%1 belongs to the group \"%2\". Join it, then log out and in "
                               "again:")
                    .arg(finding.path, group)),
            run(QStringLiteral("sudo usermod -aG %1 \"$USER\"").arg(group))};
  }
  const QString subsystem =
      finding.node == Node::Control ? QStringLiteral("hidraw") : QStringLiteral("video4linux");
  return {intro,
          say(QStringLiteral("%1 gives no group access. Give it to the group \"plugdev\" with a "
                             "rule of your own, join that group, and log out and in again:")
                  .arg(finding.path)),
          run(QStringLiteral("echo 'SUBSYSTEM==\"%1\", ATTRS{idVendor}==\"b206\", "
                             "ATTRS{idProduct}==\"b215\", GROUP=\"plugdev\", MODE=\"0660\"' | "
                             "sudo tee /etc/udev/rules.d/70-vexhaltools-group.rules\n%2\n"
                             "sudo usermod -aG plugdev \"$USER\"")
                  .arg(subsystem, QString::fromLatin1(kReload)))};
}

Steps ruleSteps(const QCameraAccessSystem& system) {
  if (const auto rule = QCameraAccess::installedRule(system)) {
    return {say(QStringLiteral("The udev rule %1 is installed, but it has not been applied to "
                               "this camera yet. Unplug the camera and plug it in again, or log "
                               "out and in again, or apply it now:")
                    .arg(*rule)),
            run(QString::fromLatin1(kReload))};
  }
  const QString name = QString::fromLatin1(QCameraAccess::kRuleName);
  if (const auto copy = QCameraAccess::packagedRule(system)) {
    return {say(QStringLiteral("The udev rule that grants access is not where udev reads rules. "
                               "Install the program's copy and apply it:")),
            run(QStringLiteral("sudo install -m 644 %1 /etc/udev/rules.d/\n%2")
                    .arg(*copy, QString::fromLatin1(kReload)))};
  }
  return {say(QStringLiteral("The udev rule that grants access is not installed. It comes with "
                             "the VexhalTools package; in the source it is packaging/%1. Install "
                             "it and apply it:")
                  .arg(name)),
          run(QStringLiteral("sudo install -m 644 packaging/%1 /etc/udev/rules.d/\n%2")
                  .arg(name, QString::fromLatin1(kReload)))};
}

Steps busySteps(const NodeFinding& finding) {
  if (finding.holder && !finding.holder->otherUser) {
    return {say(QStringLiteral("Close %1, then try again.").arg(finding.holder->describe()))};
  }
  // Only root sees which program of another user holds it.
  const bool other = finding.holder.has_value();
  return {
      say(QStringLiteral("Another program holds it. This shows which:")),
      run((other ? QStringLiteral("sudo fuser -v ") : QStringLiteral("fuser -v ")) + finding.path),
      say(QStringLiteral("Close that program, then try again."))};
}

Steps stepsFor(const NodeFinding& finding, const QCameraAccessSystem& system) {
  if (finding.node == Node::Unknown) {
    Steps steps{
        say(QStringLiteral("VexhalTools needs to open the camera's control node "
                           "(/dev/hidraw*) and video node (/dev/video*)."))};
    for (Step& step : ruleSteps(system)) {
      steps.push_back(std::move(step));
    }
    return steps;
  }
  switch (finding.verdict) {
    case Verdict::Opens:
      return {};
    case Verdict::Refused:
      switch (finding.refusal) {
        case Refusal::Sandbox:
          return sandboxSteps(finding.node, system);
        case Refusal::NotSeatUser:
          return groupSteps(finding, system);
        default:
          return ruleSteps(system);
      }
    case Verdict::Busy:
      return busySteps(finding);
    case Verdict::Missing:
      return {
          say(QStringLiteral("Plug the camera in again and wait until its row shows "
                             "\"Connected\". If it keeps disappearing, try another USB port "
                             "or cable."))};
    case Verdict::Failed:
      break;
  }
  return {
      say(QStringLiteral("Unplug the camera and plug it in again. If the error stays, the "
                         "kernel log (`journalctl -k`) tells more."))};
}

QString render(const Steps& steps, bool rich) {
  static const QRegularExpression code(QStringLiteral("`([^`]*)`"));
  QString text;
  for (const Step& step : steps) {
    if (rich) {
      QString escaped = step.text.toHtmlEscaped();
      text += step.commands
                  ? QStringLiteral("<pre>") + escaped + QStringLiteral("</pre>")
                  : QStringLiteral("<p>") + escaped.replace(code, QStringLiteral("<tt>\\1</tt>")) +
                        QStringLiteral("</p>");
    } else if (step.commands) {
      text += QStringLiteral("    ") + QString(step.text).replace('\n', QStringLiteral("\n    ")) +
              '\n';
    } else {
      text += QString(step.text).replace(code, QStringLiteral("\\1")) + '\n';
    }
  }
  return rich ? text : text.trimmed();
}

// "VexhalTools cannot open the camera's video node /dev/video2 (permission denied)."
QString opening(const NodeFinding& finding, const QString& beforePath) {
  const QString node = nodeKind(finding.node);
  if (finding.path.isEmpty()) {
    return QStringLiteral("The camera has no %1.").arg(node);
  }
  if (finding.error == 0) {
    return finding.verdict == Verdict::Busy
               ? QStringLiteral("The camera's %1 %2 opens, but gives no picture.")
                     .arg(node, finding.path)
               : QStringLiteral("The camera's %1 %2 opens.").arg(node, finding.path);
  }
  return QStringLiteral("VexhalTools cannot open the camera's %1%2%3 (%4).")
      .arg(node, beforePath, finding.path, reason(finding.error));
}

// The finding's words, once its verdict is known.
NodeFinding& worded(NodeFinding& found, const QCameraAccessSystem& system) {
  found.summary = CameraDoctor::describe(found, system, CameraDoctor::Layout::Plain);
  found.fix = CameraDoctor::fixSteps(found, system, false);
  return found;
}

// `streaming`: the node opens, but another program captures from it.
NodeFinding finding(Node node, const QString& path, int error, bool streaming,
                    std::optional<NodeHolder> holder, const QCameraAccessSystem& system) {
  NodeFinding found;
  found.node = node;
  found.path = path;
  found.error = error;
  found.verdict = streaming ? Verdict::Busy : verdictOf(error);
  if (found.verdict == Verdict::Missing && isSandboxed(system)) {
    found.verdict = Verdict::Refused;  // a sandbox hides the nodes it was not granted
  }
  if (found.verdict == Verdict::Refused) {
    found.refusal = refusalOn(system);
  }
  if (found.verdict == Verdict::Busy) {
    found.holder = std::move(holder);
  }
  return worded(found, system);
}

}  // namespace

bool NodeFinding::blocks() const {
  // A video node another program streams from still opens: the control screen's preview names
  // that program, and the camera's controls work.
  return verdict != Verdict::Opens && !(verdict == Verdict::Busy && error == 0) &&
         !(node == Node::Video && verdict == Verdict::Missing && error == ENOENT);
}

bool CameraDiagnosis::usable() const { return !firstProblem(); }

std::optional<NodeFinding> CameraDiagnosis::firstProblem() const {
  for (const NodeFinding& finding : nodes) {
    if (finding.blocks()) {
      return finding;
    }
  }
  return std::nullopt;
}

CameraDiagnosis CameraDoctor::examine(const USBDevice& device, const QCameraAccessSystem& system) {
  CameraDiagnosis diagnosis;
  diagnosis.nodes.push_back(
      examineNode(Node::Control, QString::fromStdString(device.key()), device.openError(), system));
  if (!system.videoNodes || !system.openError) {
    return diagnosis;
  }
  const QStringList videoNodes = system.videoNodes(device.locationID());
  for (const QString& node : videoNodes) {
    diagnosis.nodes.push_back(
        examineNode(Node::Video, node, system.openError(system.rooted(node)), system));
  }
  if (videoNodes.isEmpty()) {
    // No preview until the camera's video interface appears; the screens wait for it.
    NodeFinding none;
    none.node = Node::Video;
    none.verdict = Verdict::Missing;
    none.error = ENOENT;
    diagnosis.nodes.push_back(worded(none, system));
  }
  return diagnosis;
}

NodeFinding CameraDoctor::examineNode(Node node, const QString& path, int error,
                                      const QCameraAccessSystem& system) {
  const bool streaming = error == 0 && node == Node::Video && system.captureBusy &&
                         system.captureBusy(system.rooted(path));
  const bool busy = streaming || verdictOf(error) == Verdict::Busy;
  return finding(node, path, error, streaming, busy ? system.holderOf(path) : std::nullopt, system);
}

NodeFinding CameraDoctor::judge(const QCameraAccessProblem& problem,
                                const QCameraAccessSystem& system) {
  return finding(problem.node, problem.path, problem.error, false, problem.holder, system);
}

QString CameraDoctor::inUseText(const NodeHolder& holder) {
  return QStringLiteral("The camera is in use by %1.").arg(holder.describe());
}

QString CameraDoctor::describe(const NodeFinding& finding, const QCameraAccessSystem& system,
                               Layout layout) {
  const bool alert = layout == Layout::Alert;
  const QChar line(QChar::LineSeparator);
  const QString what = opening(finding, alert ? QString(line) : QStringLiteral(" "));
  const QString why = because(finding, system);
  if (why.isEmpty()) {
    return what;
  }
  return what + (alert ? QString(line) + line : QStringLiteral(" ")) + why;
}

QString CameraDoctor::fixSteps(const NodeFinding& finding, const QCameraAccessSystem& system,
                               bool rich) {
  Steps steps = stepsFor(finding, system);
  if (rich && finding.node != Node::Unknown && !steps.empty()) {
    steps.insert(steps.begin(), say(opening(finding, QStringLiteral(" "))));
  }
  return render(steps, rich);
}

QJsonObject CameraDoctor::toJson(const CameraDiagnosis& diagnosis) {
  QJsonArray nodes;
  for (const NodeFinding& finding : diagnosis.nodes) {
    QJsonValue holder;
    if (finding.holder) {
      holder = QJsonObject{{QStringLiteral("pid"), finding.holder->pid},
                           {QStringLiteral("name"), finding.holder->name},
                           {QStringLiteral("otherUser"), finding.holder->otherUser},
                           {QStringLiteral("text"), finding.holder->describe()}};
    }
    nodes.append(QJsonObject{
        {QStringLiteral("node"), finding.node == Node::Control ? QStringLiteral("control")
                                 : finding.node == Node::Video ? QStringLiteral("video")
                                                               : QStringLiteral("unknown")},
        {QStringLiteral("path"), finding.path},
        {QStringLiteral("verdict"), verdictWord(finding.verdict)},
        {QStringLiteral("refusal"), refusalWord(finding.refusal)},
        {QStringLiteral("error"), finding.error},
        {QStringLiteral("holder"), holder},
        {QStringLiteral("summary"), finding.summary},
        {QStringLiteral("fix"), finding.fix}});
  }
  return {{QStringLiteral("usable"), diagnosis.usable()}, {QStringLiteral("nodes"), nodes}};
}

QString CameraDoctor::toText(const CameraDiagnosis& diagnosis) {
  QString text;
  for (const NodeFinding& finding : diagnosis.nodes) {
    const QString path = finding.path.isEmpty() ? QStringLiteral("(none)") : finding.path;
    text +=
        QStringLiteral("%1 %2: %3").arg(nodeKind(finding.node), path, verdictWord(finding.verdict));
    if (finding.refusal != Refusal::None) {
      text += QStringLiteral(" (%1)").arg(refusalWord(finding.refusal));
    }
    text += '\n';
    if (!finding.ok()) {
      for (const QString& line : (finding.summary + '\n' + finding.fix).split('\n')) {
        text += line.isEmpty() ? QString() : QStringLiteral("  ") + line + '\n';
      }
    }
  }
  return text;
}

QString CameraDoctor::verdictWord(Verdict verdict) {
  switch (verdict) {
    case Verdict::Opens:
      return QStringLiteral("opens");
    case Verdict::Missing:
      return QStringLiteral("missing");
    case Verdict::Refused:
      return QStringLiteral("refused");
    case Verdict::Busy:
      return QStringLiteral("busy");
    case Verdict::Failed:
      break;
  }
  return QStringLiteral("failed");
}

QString CameraDoctor::refusalWord(Refusal refusal) {
  switch (refusal) {
    case Refusal::None:
      break;
    case Refusal::RuleMissing:
      return QStringLiteral("rule-missing");
    case Refusal::RuleNotApplied:
      return QStringLiteral("rule-not-applied");
    case Refusal::NotSeatUser:
      return QStringLiteral("not-seat-user");
    case Refusal::Sandbox:
      return QStringLiteral("sandbox");
  }
  return QStringLiteral("none");
}

}  // namespace vexhal
