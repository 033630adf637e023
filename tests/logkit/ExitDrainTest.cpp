// What happens to queued lines when the host process ends normally, and under a flood.
// Runs ExitHost (linked against libostrane.so) in a child process.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

namespace ostrane {
namespace {

using test::countWith;

// All lines the host wrote into its log directory.
std::vector<std::string> runHost(const std::string& mode, int n) {
  test::TempDir home;
  const std::string command = "XDG_CACHE_HOME=" + test::shellQuote(home.path()) + " " +
                              test::shellQuote(OSTRANE_EXIT_HOST) + " " + mode + " " +
                              std::to_string(n) + " > /dev/null";
  EXPECT_EQ(test::runCommand(command), 0) << command;
  std::vector<std::string> lines;
  for (const auto& name : test::fileNames(home / "ExitHost/QLogs"))
    for (auto& line : test::readLines(home / ("ExitHost/QLogs/" + name)))
      lines.push_back(std::move(line));
  return lines;
}

TEST(ExitDrain, EveryLineQueuedBeforeReturnFromMainOrExitIsWritten) {
  auto lines = runHost("drain", 3000);  // 6000 lines fit the queue: none may be dropped
  EXPECT_EQ(countWith(lines, "]: main "), 3000u);
  EXPECT_EQ(countWith(lines, "]: worker "), 3000u);
  EXPECT_EQ(countWith(lines, "Log queue full"), 0u);
  EXPECT_EQ(countWith(lines, "]: static destructor line ["), 1u);
  lines = runHost("exit", 5000);  // exit() from another thread
  EXPECT_EQ(countWith(lines, "[warn]: exiting thread "), 5000u);
  EXPECT_EQ(countWith(lines, "]: static destructor line ["), 1u);
  lines = runHost("handler-exit", 1000);  // exit() inside a delivery: neither hangs nor crashes
  EXPECT_EQ(countWith(lines, "]: bye ["), 1u);
}

TEST(ExitDrain, AFloodLosesOnlyCountedLinesAndKeepsOrder) {
  constexpr int kPerThread = 300000;
  std::uint64_t written = 0;
  std::uint64_t dropped = 0;
  int next[2] = {0, 0};
  for (const auto& line : runHost("flood", kPerThread)) {
    int t = -1;
    int i = -1;
    unsigned long long count = 0;
    const char* text = line.c_str() + std::min(line.find("]: "), line.size());
    if (std::sscanf(text, "]: flood %d %d", &t, &i) == 2) {
      ASSERT_TRUE(t == 0 || t == 1) << line;
      ASSERT_GE(i, next[t]) << "thread " << t << " went backwards";
      next[t] = i + 1;
      ++written;
    } else if (std::sscanf(text, "]: Log queue full, %llu lines dropped", &count) == 1) {
      dropped += count;
    }
  }
  EXPECT_EQ(written + dropped, 2u * kPerThread);
  EXPECT_GT(written, 0u);
}

}  // namespace
}  // namespace ostrane
