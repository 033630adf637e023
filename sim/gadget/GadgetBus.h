#pragma once

#include <functional>

namespace vexhal::sim {

// Connects a USB gadget to its host, or takes it off: the gadget side's equivalent of plugging
// the cable in and pulling it out.
class GadgetBus {
 public:
  using Done = std::function<void(bool ok)>;

  virtual ~GadgetBus() = default;

  // Binds (`attached`) or unbinds the gadget. `done` runs on the main loop once the host has
  // seen the change, with whether it worked. Requests are carried out in the order made.
  virtual void setAttached(bool attached, Done done) = 0;
};

}  // namespace vexhal::sim
