// Entry point of the kernel suite's test programs: they need the test rig's camera and skip
// (exit status 77) wherever its variables are absent, so the suite also runs on any machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "KernelRig.h"

int main(int argc, char** argv) {
  using namespace vexhal::kernel::test;
  const auto missing = missingRigVariables();
  if (!missing.empty()) {
    std::printf("skipped: not inside the kernel test rig (%s is not set)\n",
                missing.front().c_str());
    return 77;
  }
  ::testing::InitGoogleTest(&argc, argv);
  vexhal::sim::test::ensureCoreApplication();
  // An earlier program may have replugged the camera under new node numbers; plugging a camera
  // that is plugged in changes nothing and reports its nodes as they are now.
  vexhal::sim::RigGadgetBus bus;
  std::optional<bool> plugged;
  bus.setAttached(true, [&plugged](bool ok) { plugged = ok; });
  if (!waitUntil([&plugged] { return plugged.has_value(); }, kBusBound) || !*plugged) {
    std::printf("the rig's camera cannot be plugged in\n");
    return 1;
  }
  std::printf("camera nodes: %s %s\n", rigVariable("RIG_HIDRAW").c_str(),
              rigVariable("RIG_VIDEO").c_str());
  return RUN_ALL_TESTS();
}
