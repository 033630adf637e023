#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

#include "platform/NodeHolder.h"
#include "platform/QCameraAccessProblem.h"

namespace vexhal {

struct QCameraAccessSystem;
class USBDevice;

// What the doctor found at one device node of a camera.
struct NodeFinding {
  enum class Verdict { Opens, Missing, Refused, Busy, Failed };
  // Why a refused node is refused.
  enum class Refusal { None, RuleMissing, RuleNotApplied, NotSeatUser, Sandbox };

  QCameraAccessProblem::Node node = QCameraAccessProblem::Node::Unknown;
  QString path;  // "/dev/video0"; empty for a camera without a video node
  Verdict verdict = Verdict::Opens;
  Refusal refusal = Refusal::None;
  int error = 0;  // errno of the open, 0 when it opens (though another program may stream from it)
  std::optional<NodeHolder> holder;  // who holds a busy node
  QString summary;                   // plain: what is wrong and why, or that it opens
  QString fix;                       // plain-text steps with the exact commands; empty if none

  bool ok() const { return verdict == Verdict::Opens; }
  // Whether it keeps the camera from being used: a video node not there (yet) does not, since
  // the control screen waits for it while it is being set up.
  bool blocks() const;
};

// Every node of one camera, control node first.
struct CameraDiagnosis {
  std::vector<NodeFinding> nodes;

  // True when no node keeps the camera from being used.
  bool usable() const;
  // The first finding that keeps the camera from being used, none when it is usable.
  std::optional<NodeFinding> firstProblem() const;
};

// One diagnosis of camera access, used by the camera list's alert, the control screen's
// preview, the diagnostics report and `vexhalctl doctor`.
class CameraDoctor {
 public:
  // Examines the camera's control node and every video node on `system`.
  static CameraDiagnosis examine(const USBDevice& device, const QCameraAccessSystem& system);
  // The finding for one node whose open gave `error` (0: it opens; a video node that opens is
  // busy still when another program streams from it).
  static NodeFinding examineNode(QCameraAccessProblem::Node node, const QString& path, int error,
                                 const QCameraAccessSystem& system);
  // The finding for a problem found before, with the holder found then.
  static NodeFinding judge(const QCameraAccessProblem& problem, const QCameraAccessSystem& system);
  // "The camera is in use by cheese (process 4242)." for a busy node held by a known program.
  static QString inUseText(const NodeHolder& holder);

  // What is wrong and why, in words. Alert: the path on a line of its own, so that a narrow
  // alert never breaks it at a slash, and the reason after a blank line.
  enum class Layout { Plain, Alert };
  static QString describe(const NodeFinding& finding, const QCameraAccessSystem& system,
                          Layout layout);
  // The steps that fix the finding on `system`, with the exact commands: plain text with the
  // commands indented, or rich text headed by what is wrong.
  static QString fixSteps(const NodeFinding& finding, const QCameraAccessSystem& system, bool rich);

  // The diagnosis for the report and `vexhalctl doctor --json`: {"usable":…,"nodes":[{"node":
  // "video","path":…,"verdict":"busy","refusal":"none","error":16,"holder":{"pid":4242,"name":
  // "cheese","otherUser":false,"text":"cheese (process 4242)"},"summary":…,"fix":…}]}; "holder"
  // is null unless a busy node's holder is known, "path" empty for a camera without video node.
  static QJsonObject toJson(const CameraDiagnosis& diagnosis);
  // The same as readable lines: one per node, each problem followed by its fix, indented.
  static QString toText(const CameraDiagnosis& diagnosis);

  static QString verdictWord(NodeFinding::Verdict verdict);  // "opens", "missing", "refused", ...
  static QString refusalWord(NodeFinding::Refusal refusal);  // "none", "rule-missing", ...
};

}  // namespace vexhal
