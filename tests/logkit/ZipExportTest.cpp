// The log export: a zip of the log directory under its own name, read back by unzip and by
// Python's zipfile rather than by the library that wrote it.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;
using Names = std::vector<std::string>;

// Entry names as Python's zipfile sees them after its CRC check, once unzip -t has passed.
Names checkedEntries(const std::string& archive) {
  std::string out;
  EXPECT_EQ(runCommand("unzip -tq " + shellQuote(archive) + " 2>&1", &out), 0) << out;
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "bad = z.testzip()\n"
      "if bad is not None: sys.exit('bad member: ' + bad)\n"
      "print('\\n'.join(sorted(z.namelist())))\n";
  EXPECT_EQ(runCommand("python3 -c " + shellQuote(script) + " " + shellQuote(archive), &out), 0)
      << out;
  Names names;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) names.push_back(line);
  return names;
}

std::string unzipMember(const std::string& archive, const std::string& member) {
  std::string out;
  runCommand("unzip -p " + shellQuote(archive) + " " + shellQuote(member), &out);
  return out;
}

class ZipExport : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(logDir + "/sub");
    fs::create_directories(logDir + "/empty");
    for (int i = 0; i < 2000; ++i)
      logText += "[2024-03-05 09:00:01.000] [debug]: line " + std::to_string(i) + "\n";
    test::writeFile(logDir + "/VexhalTools_2024-03-05 09:00:01_0.log", logText);
    test::writeFile(logDir + "/sub/nested.txt", "nested");
    setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
  }

  test::TempDir home;
  test::TempDir work;
  const std::string logDir = work / "QLogs";
  std::string logText;
  std::shared_ptr<QFileLogger> logger =
      std::make_shared<QFileLogger>(std::make_shared<QFileLogConfig>(logDir));
};

TEST_F(ZipExport, ArchiveHoldsTheDirectoryUnderItsOwnName) {
  const std::string archive = work / "export.zip";
  ASSERT_EQ(logger->zipLogDir(archive), archive);
  EXPECT_EQ(checkedEntries(archive), (Names{"QLogs/", "QLogs/VexhalTools_2024-03-05 09:00:01_0.log",
                                            "QLogs/empty/", "QLogs/sub/", "QLogs/sub/nested.txt"}));
  EXPECT_EQ(unzipMember(archive, "QLogs/VexhalTools_2024-03-05 09:00:01_0.log"), logText);
  EXPECT_EQ(unzipMember(archive, "QLogs/sub/nested.txt"), "nested");

  fs::create_directories(work / "Bare");
  logger->setLogConfig(std::make_shared<QFileLogConfig>(work / "Bare/"));
  ASSERT_EQ(logger->zipLogDir(work / "bare.zip"), work / "bare.zip");
  EXPECT_EQ(checkedEntries(work / "bare.zip"), Names{"Bare/"});
}

TEST_F(ZipExport, DefaultTargetReplacesThePreviousArchiveAndAnExplicitOneLeavesItAlone) {
  const std::string defaultPath = home / "VexhalTools/QLogs.zip";
  fs::create_directories(home / "VexhalTools");
  test::writeFile(defaultPath, "stale, not a zip");
  ASSERT_EQ(logger->zipLogDir(work / "other.zip"), work / "other.zip");
  EXPECT_EQ(test::readFile(defaultPath), "stale, not a zip");
  ASSERT_EQ(logger->zipLogDir(), defaultPath);
  EXPECT_EQ(checkedEntries(defaultPath).size(), 5u);
}

TEST_F(ZipExport, FailureReturnsEmptyTextRemovesAStaleArchiveAndKeepsADirectory) {
  test::LogCapture log;
  const std::string stale = work / "stale.zip";
  test::writeFile(stale, "stale");
  const std::string folder = work / "target.zip";
  fs::create_directories(folder);
  test::writeFile(folder + "/keep.txt", "someone's data");
  EXPECT_EQ(logger->zipLogDir(folder), "");
  EXPECT_EQ(test::readFile(folder + "/keep.txt"), "someone's data");
  EXPECT_EQ(log.count("Log export refused, not a regular file: " + folder), 1u);
  EXPECT_EQ(logger->zipLogDir(work / "no/such/dir/x.zip"), "");
  logger->setLogConfig(std::make_shared<QFileLogConfig>(work / "missing"));
  EXPECT_EQ(logger->zipLogDir(stale), "");
  EXPECT_FALSE(fs::exists(stale));
}

TEST_F(ZipExport, ExportWhileTheQueueKeepsWriting) {
  QLogger log;
  log.add(logger);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop && i < 200000; ++i) {
      log.warn("growing", i);
      if (i % 1000 == 0) flushLogQueue();
    }
  });
  for (int round = 0; round < 5; ++round) {
    EXPECT_EQ(logger->zipLogDir(work / "live.zip"), work / "live.zip");
    EXPECT_FALSE(checkedEntries(work / "live.zip").empty());
  }
  stop = true;
  writer.join();
  flushLogQueue();
}

}  // namespace
}  // namespace ostrane
