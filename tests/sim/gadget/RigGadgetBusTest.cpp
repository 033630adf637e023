// The rig's plug and unplug commands run in order, their reported nodes kept and exported, and
// their failures reported; scripts in a temporary folder stand in for the rig's commands.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "RigGadgetBus.h"
#include "SimTestSupport.h"

namespace vexhal::sim {
namespace {

TEST(RigGadgetBus, ParsesExportLines) {
  using Exports = std::map<std::string, std::string>;
  for (const auto& [text, expected] : std::vector<std::pair<const char*, Exports>>{
           {"export RIG_HIDRAW=/dev/hidraw1\nexport RIG_VIDEO=/dev/video2\n",
            {{"RIG_HIDRAW", "/dev/hidraw1"}, {"RIG_VIDEO", "/dev/video2"}}},
           {"export A='/dev/x y'\nexport B=\"q\"\n", {{"A", "/dev/x y"}, {"B", "q"}}},
           {"noise\n export C=1\nexport =2\nexportD=3\nexport E\n", {}},
           {"export F=\nexport G=a=b", {{"F", ""}, {"G", "a=b"}}},
           {"", {}}}) {
    EXPECT_EQ(RigGadgetBus::parseExports(text), expected) << text;
  }
}

class RigGadgetBusRun : public ::testing::Test {
 protected:
  RigGadgetBusRun() { test::ensureCoreApplication(); }

  std::string script(const char* name, const std::string& body) {
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0700);
    return path;
  }

  QTemporaryDir dir;
};

TEST_F(RigGadgetBusRun, CommandsRunInOrderAndThePlugsNodesAreKept) {
  const std::string log = dir.filePath("log").toStdString();
  RigGadgetBus bus(
      script("unplug", "echo unplug >> " + log),
      script("plug", "echo plug >> " + log + "; echo 'export RIG_GADGET_TEST_NODE=/dev/hidraw7'"));
  std::vector<std::string> done;
  bus.setAttached(false, [&](bool ok) { done.push_back(ok ? "unplugged" : "unplug failed"); });
  bus.setAttached(true, [&](bool ok) { done.push_back(ok ? "plugged" : "plug failed"); });
  EXPECT_TRUE(bus.isBusy());
  ASSERT_TRUE(test::waitUntil([&] { return done.size() == 2; }));
  EXPECT_EQ(done, (std::vector<std::string>{"unplugged", "plugged"}));
  std::ifstream lines(log);
  std::string first;
  std::string second;
  lines >> first >> second;
  EXPECT_EQ(first + " " + second, "unplug plug");
  EXPECT_EQ(bus.nodes(),
            (std::map<std::string, std::string>{{"RIG_GADGET_TEST_NODE", "/dev/hidraw7"}}));
  EXPECT_EQ(qgetenv("RIG_GADGET_TEST_NODE"), "/dev/hidraw7");
  test::settle();
  EXPECT_FALSE(bus.isBusy());
}

TEST_F(RigGadgetBusRun, FailingAndMissingCommandsReportFailureAndTheQueueGoesOn) {
  RigGadgetBus bus(script("unplug", "exit 3"), dir.filePath("no-such-command").toStdString());
  std::vector<bool> results;
  bus.setAttached(false, [&](bool ok) { results.push_back(ok); });
  bus.setAttached(true, [&](bool ok) { results.push_back(ok); });
  bus.setAttached(false, [&](bool ok) { results.push_back(ok); });
  ASSERT_TRUE(test::waitUntil([&] { return results.size() == 3; }));
  EXPECT_EQ(results, (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(bus.nodes().empty());
}

}  // namespace
}  // namespace vexhal::sim
