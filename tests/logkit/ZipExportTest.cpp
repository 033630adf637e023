// The log export: a zip of the log directory under its own name, checked by unzip -t and read
// back entry by entry with libzip's consistency and CRC checks.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>
#include <vector>
#include <zip.h>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using Entries = std::map<std::string, std::string>;

// Every entry of the archive with its content; a failed check fails the test.
Entries entries(const std::string& archive) {
  EXPECT_EQ(test::runCommand("unzip -tq " + test::shellQuote(archive) + " >/dev/null 2>&1"), 0);
  int error = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  EXPECT_NE(zip, nullptr) << archive << ": libzip error " << error;
  Entries found;
  for (zip_int64_t i = 0; zip != nullptr && i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
    std::string data(stat.size + 1, '\0');  // one byte more, so the read meets the CRC check
    zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    const zip_int64_t read = zip_fread(file, data.data(), data.size());
    EXPECT_EQ(read, static_cast<zip_int64_t>(stat.size)) << stat.name;
    zip_fclose(file);
    found[stat.name] = data.substr(0, stat.size);
  }
  if (zip != nullptr) zip_discard(zip);
  return found;
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

// The default target replaces the previous archive; an explicit one leaves it alone.
TEST_F(ZipExport, ArchiveHoldsTheDirectoryUnderItsOwnName) {
  const std::string defaultPath = home / "VexhalTools/QLogs.zip";
  fs::create_directories(home / "VexhalTools");
  test::writeFile(defaultPath, "stale, not a zip");
  ASSERT_EQ(logger->zipLogDir(work / "other.zip"), work / "other.zip");
  EXPECT_EQ(test::readFile(defaultPath), "stale, not a zip");
  ASSERT_EQ(logger->zipLogDir(), defaultPath);
  EXPECT_EQ(entries(defaultPath), (Entries{{"QLogs/", ""},
                                           {"QLogs/VexhalTools_2024-03-05 09:00:01_0.log", logText},
                                           {"QLogs/empty/", ""},
                                           {"QLogs/sub/", ""},
                                           {"QLogs/sub/nested.txt", "nested"}}));
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

// Every line written meanwhile is whole in the archive, or left beyond it in the live file.
TEST_F(ZipExport, ExportWhileTheQueueKeepsWritingCutsNoLine) {
  // A file caught in the middle of a line, and a line still in the logger's buffer.
  const std::string caughtName = "QLogs/VexhalTools_2024-03-05 09:00:02_1.log";
  const std::string firstLineName = "QLogs/VexhalTools_2024-03-05 09:00:03_2.log";
  test::writeFile(work / caughtName, "whole\nhalf a li");
  test::writeFile(work / firstLineName, "the first line, half wri");
  logger->log("held in the buffer");
  ASSERT_EQ(logger->zipLogDir(work / "first.zip"), work / "first.zip");
  const Entries first = entries(work / "first.zip");
  EXPECT_EQ(first.at(caughtName), "whole\n");
  EXPECT_EQ(first.at(firstLineName), "");
  EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](const auto& e) {
    return e.second.ends_with("held in the buffer\n");
  }));

  QLogger log;
  log.add(logger);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop && i < 200000; ++i) {
      log.warn("growing", i);
      if (i % 1000 == 0) flushLogQueue();
    }
  });
  // At least five exports, and on until one has caught the writer's lines.
  std::vector<Entries> rounds;
  const auto caught = [](const Entries& round) {
    return std::any_of(round.begin(), round.end(),
                       [](const auto& e) { return e.second.find("growing") != std::string::npos; });
  };
  for (int round = 0; round < 500 && (round < 5 || !caught(rounds.back())); ++round) {
    EXPECT_EQ(logger->zipLogDir(work / "live.zip"), work / "live.zip");
    rounds.push_back(entries(work / "live.zip"));
  }
  stop = true;
  writer.join();
  flushLogQueue();
  for (const Entries& round : rounds) {
    for (const auto& [name, content] : round) {
      if (!name.ends_with(".log")) continue;
      const std::string live = test::readFile(work / name);
      EXPECT_TRUE(live.starts_with(content)) << name;
      EXPECT_TRUE(content.empty() || content.back() == '\n') << name << " ends in a cut line";
    }
  }
  EXPECT_TRUE(caught(rounds.back()));
}

}  // namespace
}  // namespace ostrane
