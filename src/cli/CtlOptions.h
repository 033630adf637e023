#pragma once

#include "control/ControlRequest.h"

namespace vexhal::cli {

// What one vexhalctl invocation asks for: the request and how its answer is printed.
struct CtlOptions {
  control::ControlRequest request;
  bool json = false;
};

}  // namespace vexhal::cli
