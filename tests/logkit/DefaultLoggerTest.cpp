// The default logger and the free logging functions, writing into the application's cache
// directory (pointed at a scratch directory through XDG_CACHE_HOME).

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

namespace fs = std::filesystem;

test::TempDir* cacheHome = nullptr;

class CacheHome : public ::testing::Environment {
public:
    void SetUp() override {
        cacheHome = new test::TempDir;
        setenv("XDG_CACHE_HOME", cacheHome->path().c_str(), 1);
    }
    void TearDown() override {
        delete cacheHome;
        cacheHome = nullptr;
    }
};
const auto* const cacheHomeEnv = ::testing::AddGlobalTestEnvironment(new CacheHome);

std::string digitsAsNines(std::string text) {
    for (char& c : text)
        if (c >= '0' && c <= '9') c = '9';
    return text;
}

std::string logDir() { return cacheHome->path() + "/VexhalTools/QLogs"; }

// Every line in the default log directory that contains `marker`.
std::vector<std::string> linesWith(const std::string& marker) {
    flushLogQueue();
    std::vector<std::string> found;
    for (const auto& name : test::fileNames(logDir()))
        for (const auto& line : test::readLines(logDir() + "/" + name))
            if (line.find(marker) != std::string::npos) found.push_back(line);
    return found;
}

TEST(DefaultLogger, QLogWritesADebugLineWithoutTagIntoTheCacheDirectory) {
    const std::string camera = "front";
    QLog("CameraList, refreshCameraList", 3, camera); const int line = __LINE__;
    const auto lines = linesWith("CameraList, refreshCameraList");
    ASSERT_EQ(lines.size(), 1u);
    const std::string& got = lines[0];
    ASSERT_GT(got.size(), 25u);
    EXPECT_EQ(digitsAsNines(got.substr(0, 25)), "[9999-99-99 99:99:99.999]");
    const std::string expectedRest = " [debug]: CameraList, refreshCameraList 3 front [" + std::to_string(gettid()) +
                                     "] [" + std::to_string(getpid()) + "] [DefaultLoggerTest.cpp:" +
                                     std::to_string(line) + "] [";
    EXPECT_EQ(got.substr(25, expectedRest.size()), expectedRest) << got;
    EXPECT_NE(got.find("TestBody()]", 25 + expectedRest.size()), std::string::npos) << got;

    const auto names = test::fileNames(logDir());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(digitsAsNines(names[0]), "VexhalTools_9999-99-99 99:99:99_9.log");
    EXPECT_EQ(names[0].substr(names[0].size() - 6), "_0.log");
}

TEST(DefaultLogger, FunctionsCarryTheirLevelTagAndThreadId) {
    QLog(ThreadId{77}, "Upgrade, progress", 42);
    VerboseLog("verbose line");
    WarnLog("warn line");
    WarnLog(Tag{"HID"}, "tagged warn", 1);
    ErrorLog("error line");
    ErrorLog(Tag{std::string("USB")}, "tagged error");
    VerboseLog(Tag{""}, "empty tag");
    ErrorLog(); const int bareLine = __LINE__;
    QLog(42, "int first"); // a leading integer or bool is an item, not a thread id
    QLog(true); const int boolLine = __LINE__;
    EXPECT_NE(linesWith("Upgrade, progress 42")[0].find("[debug]: Upgrade, progress 42 [77] ["), std::string::npos);
    EXPECT_NE(linesWith("verbose line")[0].find("[verbose]: verbose line ["), std::string::npos);
    EXPECT_NE(linesWith("warn line")[0].find("[warn]: warn line ["), std::string::npos);
    EXPECT_NE(linesWith("tagged warn")[0].find("[warn] [HID]: tagged warn 1 ["), std::string::npos);
    EXPECT_NE(linesWith("error line")[0].find("[error]: error line ["), std::string::npos);
    EXPECT_NE(linesWith("tagged error")[0].find("[error] [USB]: tagged error ["), std::string::npos);
    EXPECT_NE(linesWith("empty tag")[0].find("[verbose]: empty tag ["), std::string::npos);
    const auto bare = linesWith("DefaultLoggerTest.cpp:" + std::to_string(bareLine) + "]");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_NE(bare[0].find("[error]:  ["), std::string::npos) << bare[0];
    EXPECT_EQ(linesWith("[debug]: 42 int first [" + std::to_string(gettid()) + "] [").size(), 1u);
    const auto boolean = linesWith("DefaultLoggerTest.cpp:" + std::to_string(boolLine) + "]");
    ASSERT_EQ(boolean.size(), 1u);
    EXPECT_NE(boolean[0].find("[debug]: true [" + std::to_string(gettid()) + "] ["), std::string::npos) << boolean[0];
}

TEST(DefaultLogger, StartsWithOneFileHandlerAndCanBeReplaced) {
    const QLogger initial = ddLog();
    EXPECT_EQ(initial.level(), LogLevel::verbose);
    ASSERT_EQ(initial.array().size(), 1u);
    auto file = initial.getLogger<QFileLogger>();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->getLogConfig()->cacheDir(), logDir());

    auto memory = std::make_shared<test::MemoryHandler>();
    QLogger replaced;
    replaced.setLevel(LogLevel::warn);
    replaced.add(memory);
    setDdLog(replaced);
    QLog("below the new threshold");
    WarnLog("to memory");
    flushLogQueue();
    setDdLog(initial);
    QLog("back to the file");
    ASSERT_EQ(memory->lines().size(), 1u);
    EXPECT_NE(memory->lines()[0].find("to memory"), std::string::npos);
    EXPECT_TRUE(linesWith("to memory").empty());
    EXPECT_TRUE(linesWith("below the new threshold").empty());
    EXPECT_EQ(linesWith("back to the file").size(), 1u);
}

TEST(DefaultLogger, ThreadsSeeAReplacedLoggerAtTheirNextLine) {
    auto memory = std::make_shared<test::MemoryHandler>();
    const QLogger initial = ddLog();
    std::thread([] { QLog("worker warms its copy"); }).join();
    QLogger replaced;
    replaced.add(memory);
    setDdLog(replaced);
    std::thread([] { QLog("worker after the change"); }).join();
    flushLogQueue();
    setDdLog(initial);
    ASSERT_EQ(memory->lines().size(), 1u);
    EXPECT_NE(memory->lines()[0].find("worker after the change"), std::string::npos);
}

} // namespace
} // namespace ostrane
