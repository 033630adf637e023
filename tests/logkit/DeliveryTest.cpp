// Delivery: the text of a line, handlers, thread order and the default
// logger writing into the application's cache directory (a scratch XDG_CACHE_HOME).

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <stdexcept>
#include <thread>
#include <unistd.h>

OSTRANE_DISPLAY_NAME("VexhalTools")

namespace ostrane {
namespace {

using test::MemoryHandler;

test::TempDir* cacheHome = nullptr;
struct CacheHome : ::testing::Environment {
  void SetUp() override {
    setenv("XDG_CACHE_HOME", (cacheHome = new test::TempDir)->path().c_str(), 1);
  }
  void TearDown() override { delete cacheHome; }
};
const auto* const cacheHomeEnv = ::testing::AddGlobalTestEnvironment(new CacheHome);

struct Point {
  int x;
};
std::ostream& operator<<(std::ostream& os, const Point& p) { return os << "(" << p.x << ")"; }

template <typename... Items>
std::string render(const Items&... items) {
  detail::LineWriter writer;
  detail::appendItems(writer, items...);
  return std::string(writer.view());
}

TEST(LineFormat, ItemsAreJoinedBySingleSpaces) {
  const char* nullText = nullptr;
  const std::map<int, int>* noMap = nullptr;
  const std::string big(5000, 'x');
  EXPECT_EQ(render(), "");
  EXPECT_EQ(render(std::string_view("v"), 'c', true, std::uint8_t{200}, std::int64_t{-9000000000}),
            "v c true 200 -9000000000");
  EXPECT_EQ(render(std::optional<int>(5), std::optional<int>(), nullText, noMap),
            "5 nil (null) nil");
  EXPECT_EQ(render(std::vector<int>{1, 2}, std::list<std::string>{"a"}, Point{1}),
            "[1, 2] [a] (1)");
  EXPECT_EQ(render(std::string_view(), 1, std::string()), " 1 ");
  EXPECT_EQ(render("head", big, "tail"), "head " + big + " tail");
}

class ThrowingHandler : public QLogHandler {
 public:
  void log(const std::string&) override { throw std::runtime_error("disk on fire"); }
};

TEST(Delivery, HandlersGetTheLineInOrderAndFailuresStayInside) {
  auto first = std::make_shared<MemoryHandler>();
  auto second = std::make_shared<MemoryHandler>();
  auto throwing = std::make_shared<ThrowingHandler>();
  QLogger logger;
  logger.add(first);
  logger.add(throwing);
  logger.add(second);
  logger.add(first);  // twice: writes twice
  logger.warn("line");
  flushLogQueue();
  EXPECT_EQ(first->lines().size(), 2u);
  EXPECT_EQ(second->lines().size(), 1u);
}

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

TEST(DefaultLogger, FunctionsWriteTheirLinesIntoTheCacheDirectory) {
  QLog("CameraList, refreshCameraList", 3, std::string("front"));
  const int line = __LINE__ - 1;  // the call above
  const auto lines = linesWith("CameraList, refreshCameraList");
  ASSERT_EQ(lines.size(), 1u);
  const std::string& got = lines[0];
  ASSERT_GT(got.size(), 25u);
  EXPECT_EQ(digitsAsNines(got.substr(0, 25)), "[9999-99-99 99:99:99.999]");
  const std::string rest = " [debug]: CameraList, refreshCameraList 3 front [" +
                           std::to_string(gettid()) + "] [" + std::to_string(getpid()) +
                           "] [DeliveryTest.cpp:" + std::to_string(line) + "] [";
  EXPECT_EQ(got.substr(25, rest.size()), rest) << got;
  EXPECT_NE(got.find("TestBody()]", 25 + rest.size()), std::string::npos) << got;
  const auto names = test::fileNames(logDir());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(digitsAsNines(names[0]), "VexhalTools_9999-99-99 99:99:99_9.log");
  EXPECT_EQ(names[0].substr(names[0].size() - 6), "_0.log");

  // The other functions carry their level, tag and thread id.
  QLog(ThreadId{77}, "Upgrade, progress", 42);
  WarnLog(Tag{"HID"}, "tagged warn", 1);
  VerboseLog(Tag{""}, "empty tag");
  ErrorLog();
  QLog(42, "int first");  // a leading integer or bool is an item, not a thread id
  QLog(true);
  const std::string tid = std::to_string(gettid());
  for (const std::string& expected : std::vector<std::string>{
           "[debug]: Upgrade, progress 42 [77] [", "[warn] [HID]: tagged warn 1 [",
           "[verbose]: empty tag [", "[error]:  [", "[debug]: 42 int first [" + tid + "] [",
           "[debug]: true [" + tid + "] ["})
    EXPECT_EQ(linesWith(expected).size(), 1u) << expected;
}

TEST(DefaultLogger, StartsWithOneFileHandlerAndCanBeReplacedAlsoForOtherThreads) {
  const QLogger initial = ddLog();
  EXPECT_EQ(initial.level(), LogLevel::verbose);
  ASSERT_EQ(initial.array().size(), 1u);
  ASSERT_NE(initial.getLogger<QFileLogger>(), nullptr);
  EXPECT_EQ(initial.getLogger<QFileLogger>()->getLogConfig()->cacheDir(), logDir());

  std::thread([] { QLog("worker warms its copy"); }).join();
  auto memory = std::make_shared<MemoryHandler>();
  QLogger replaced;
  replaced.setLevel(LogLevel::warn);
  replaced.add(memory);
  setDdLog(replaced);
  QLog("below the new threshold");
  std::thread([] { WarnLog("worker after the change"); }).join();
  flushLogQueue();
  setDdLog(initial);
  QLog("back to the file");
  ASSERT_EQ(memory->lines().size(), 1u);
  EXPECT_NE(memory->lines()[0].find("worker after the change"), std::string::npos);
  EXPECT_TRUE(linesWith("worker after the change").empty());
  EXPECT_TRUE(linesWith("below the new threshold").empty());
  EXPECT_EQ(linesWith("back to the file").size(), 1u);
}

}  // namespace
}  // namespace ostrane
