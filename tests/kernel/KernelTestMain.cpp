// Entry point of the kernel suite's test programs: they need the test rig's camera and skip
// (exit status 77) wherever its variables are absent, so the suite also runs on any machine.
#include <gtest/gtest.h>

#include <cstdio>

#include "KernelRig.h"

int main(int argc, char** argv) {
  const auto missing = vexhal::kernel::test::missingRigVariables();
  if (!missing.empty()) {
    std::printf("skipped: not inside the kernel test rig (%s is not set)\n",
                missing.front().c_str());
    return 77;
  }
  ::testing::InitGoogleTest(&argc, argv);
  vexhal::sim::test::ensureCoreApplication();
  return RUN_ALL_TESTS();
}
