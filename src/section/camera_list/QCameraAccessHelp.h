#pragma once

#include <optional>

#include "platform/QCameraAccessProblem.h"
#include "platform/QCameraAccessSystem.h"

class QWidget;

namespace vexhal {

// The help behind the permission alert's "Setting": the fix for the refused node and the full
// help on device access, in a message box shown as a sheet inside the window. Main thread only.
class QCameraAccessHelp {
 public:
  // Shows the fix for `problem` (none: the general help) and the full help on `system` over
  // the window of `over`.
  static void show(QWidget* over, const std::optional<QCameraAccessProblem>& problem,
                   const QCameraAccessSystem& system);
};

}  // namespace vexhal
