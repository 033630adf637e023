// The log export: a zip of the log directory under its own name, read back by unzip and by
// Python's zipfile rather than by the library that wrote it.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;
using test::TempDir;

// Entry names as Python's zipfile sees them, after its CRC check of every member.
std::vector<std::string> pythonEntries(const std::string& archive) {
    const std::string script = "import sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "bad = z.testzip()\n"
                               "if bad is not None: sys.exit('bad member: ' + bad)\n"
                               "print('\\n'.join(sorted(z.namelist())))\n";
    std::string out;
    EXPECT_EQ(runCommand("python3 -c " + shellQuote(script) + " " + shellQuote(archive), &out), 0) << out;
    std::vector<std::string> names;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

bool unzipTestPasses(const std::string& archive) {
    std::string out;
    const int status = runCommand("unzip -tq " + shellQuote(archive) + " 2>&1", &out);
    EXPECT_EQ(status, 0) << out;
    return status == 0;
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
        for (int i = 0; i < 2000; ++i) logText += "[2024-03-05 09:00:01.000] [debug]: line " + std::to_string(i) + "\n";
        test::writeFile(logDir + "/VexhalTools_2024-03-05 09:00:01_0.log", logText);
        test::writeFile(logDir + "/sub/nested.txt", "nested");
        setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
        logger = std::make_unique<QFileLogger>(std::make_shared<QFileLogConfig>(logDir));
    }

    TempDir home;
    TempDir work;
    const std::string logDir = work / "QLogs";
    std::string logText;
    std::unique_ptr<QFileLogger> logger;
};

TEST_F(ZipExport, ArchiveHoldsTheDirectoryUnderItsOwnName) {
    const std::string archive = work / "export.zip";
    ASSERT_EQ(logger->zipLogDir(archive), archive);
    EXPECT_TRUE(unzipTestPasses(archive));
    EXPECT_EQ(pythonEntries(archive),
              (std::vector<std::string>{"QLogs/", "QLogs/VexhalTools_2024-03-05 09:00:01_0.log", "QLogs/empty/",
                                        "QLogs/sub/", "QLogs/sub/nested.txt"}));
    EXPECT_EQ(unzipMember(archive, "QLogs/VexhalTools_2024-03-05 09:00:01_0.log"), logText);
    EXPECT_EQ(unzipMember(archive, "QLogs/sub/nested.txt"), "nested");
}

TEST_F(ZipExport, TrailingSlashAndEmptyDirectoryStillGiveAValidArchive) {
    fs::create_directories(work / "Bare");
    logger->setLogConfig(std::make_shared<QFileLogConfig>(work / "Bare/"));
    const std::string archive = work / "bare.zip";
    ASSERT_EQ(logger->zipLogDir(archive), archive);
    EXPECT_TRUE(unzipTestPasses(archive));
    EXPECT_EQ(pythonEntries(archive), std::vector<std::string>{"Bare/"});
}

TEST_F(ZipExport, DefaultTargetReplacesThePreviousArchiveAndAnExplicitOneLeavesItAlone) {
    const std::string defaultPath = home / "VexhalTools/QLogs.zip";
    fs::create_directories(home / "VexhalTools");
    test::writeFile(defaultPath, "stale, not a zip");
    ASSERT_EQ(logger->zipLogDir(work / "other.zip"), work / "other.zip");
    EXPECT_EQ(test::readFile(defaultPath), "stale, not a zip");
    ASSERT_EQ(logger->zipLogDir(), defaultPath);
    EXPECT_TRUE(unzipTestPasses(defaultPath));
}

TEST_F(ZipExport, FailureReturnsEmptyTextAndTheStaleArchiveIsGone) {
    const std::string target = work / "stale.zip";
    test::writeFile(target, "stale");
    logger->setLogConfig(std::make_shared<QFileLogConfig>(work / "missing"));
    EXPECT_EQ(logger->zipLogDir(target), "");
    EXPECT_FALSE(fs::exists(target));
    logger->setLogConfig(std::make_shared<QFileLogConfig>(logDir));
    EXPECT_EQ(logger->zipLogDir(work / "no/such/dir/x.zip"), "");
}

TEST_F(ZipExport, ADirectoryAtTheTargetIsRefusedAndKept) {
    test::LogCapture log;
    const std::string target = work / "target.zip";
    fs::create_directories(target);
    test::writeFile(target + "/keep.txt", "someone's data");
    EXPECT_EQ(logger->zipLogDir(target), "");
    EXPECT_EQ(test::readFile(target + "/keep.txt"), "someone's data");
    EXPECT_EQ(log.count("Log export refused, not a regular file: " + target), 1u);
}

TEST_F(ZipExport, ExportWhileTheQueueKeepsWriting) {
    QLogger log;
    auto live = std::make_shared<QFileLogger>(std::make_shared<QFileLogConfig>(logDir));
    log.add(live);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop && i < 200000; ++i) {
            log.warn("growing", i);
            if (i % 1000 == 0) flushLogQueue();
        }
    });
    const std::string archive = work / "live.zip";
    std::string result;
    for (int round = 0; round < 5; ++round) {
        result = live->zipLogDir(archive);
        ASSERT_EQ(result, archive);
        EXPECT_TRUE(unzipTestPasses(archive));
    }
    stop = true;
    writer.join();
    flushLogQueue();
}

} // namespace
} // namespace ostrane
