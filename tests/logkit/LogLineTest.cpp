// The text of a log line: its segments, the level names, and how items become content.

#include "LogTestSupport.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <optional>
#include <vector>

namespace ostrane {
namespace {

QLogMsg sampleMessage() {
    QLogMsg msg;
    msg.content = "device attached";
    msg.date = "2024-03-05 14:22:10.123";
    msg.level = LogLevel::debug;
    msg.threadId = 259;
    msg.pId = 1234;
    msg.file = "VexhalTools/QCameraListVC";
    msg.line = "88";
    msg.method = "refreshCameraList(isNeedAsyncUVC:)";
    return msg;
}

struct LineCase {
    const char* name;
    std::optional<std::string> tag;
    std::string content;
    std::string file;
    std::string expected;
};

class LineFormat : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineFormat, MatchesTheDocumentedLayout) {
    const LineCase& c = GetParam();
    QLogMsg msg = sampleMessage();
    msg.tag = c.tag;
    msg.content = c.content;
    msg.file = c.file;
    EXPECT_EQ(msg.formatLog(), c.expected);
    std::string appended = "prefix ";
    msg.appendFormatted(appended);
    EXPECT_EQ(appended, "prefix " + c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineFormat,
    ::testing::Values(
        LineCase{"NoTag", std::nullopt, "device attached", "VexhalTools/QCameraListVC",
                 "[2024-03-05 14:22:10.123] [debug]: device attached [259] [1234] [QCameraListVC:88] "
                 "[refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"EmptyTagLooksLikeNoTag", std::string(), "device attached", "VexhalTools/QCameraListVC",
                 "[2024-03-05 14:22:10.123] [debug]: device attached [259] [1234] [QCameraListVC:88] "
                 "[refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"Tagged", std::string("HID"), "device attached", "VexhalTools/QCameraListVC",
                 "[2024-03-05 14:22:10.123] [debug] [HID]: device attached [259] [1234] [QCameraListVC:88] "
                 "[refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"EmptyContent", std::nullopt, "", "VexhalTools/QCameraListVC",
                 "[2024-03-05 14:22:10.123] [debug]:  [259] [1234] [QCameraListVC:88] "
                 "[refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"FileWithoutSlashShownWhole", std::nullopt, "x", "main.cpp",
                 "[2024-03-05 14:22:10.123] [debug]: x [259] [1234] [main.cpp:88] [refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"OnlyTheLastPathPiece", std::nullopt, "x", "a/b/c",
                 "[2024-03-05 14:22:10.123] [debug]: x [259] [1234] [c:88] [refreshCameraList(isNeedAsyncUVC:)]"},
        LineCase{"TrailingSlashGivesEmptyName", std::nullopt, "x", "a/b/",
                 "[2024-03-05 14:22:10.123] [debug]: x [259] [1234] [:88] [refreshCameraList(isNeedAsyncUVC:)]"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(LineFormat, ThreadAndProcessIdsAreUnsignedDecimal) {
    QLogMsg msg = sampleMessage();
    msg.threadId = UINT64_MAX;
    msg.pId = 0;
    EXPECT_NE(msg.formatLog().find("[18446744073709551615] [0]"), std::string::npos);
}

struct LevelCase {
    std::int64_t raw;
    std::optional<LogLevel> level;
    const char* text;
};

class LevelConversion : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelConversion, RawValuesMapToLevelsAndNames) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(QLogger::levelFromRaw(c.raw), c.level);
    if (c.level) {
        EXPECT_EQ(QLogger::levelText(*c.level), c.text);
        EXPECT_EQ(rawValue(*c.level), c.raw);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LevelConversion,
                         ::testing::Values(LevelCase{0, LogLevel::verbose, "verbose"}, LevelCase{1, LogLevel::debug, "debug"},
                                           LevelCase{2, LogLevel::info, "info"}, LevelCase{3, LogLevel::warn, "warn"},
                                           LevelCase{4, LogLevel::error, "error"}, LevelCase{5, LogLevel::fatal, "fatal"},
                                           LevelCase{255, LogLevel::close, "close"}, LevelCase{6, std::nullopt, ""},
                                           LevelCase{-1, std::nullopt, ""}, LevelCase{254, std::nullopt, ""},
                                           LevelCase{256, std::nullopt, ""}));

struct Point {
    int x;
    int y;
};
std::ostream& operator<<(std::ostream& os, const Point& p) { return os << "(" << p.x << "," << p.y << ")"; }

enum class Mode { off = 0, on = 7 };

template <typename... Items>
std::string render(const Items&... items) {
    detail::LineWriter writer;
    detail::appendItems(writer, items...);
    return std::string(writer.view());
}

TEST(ItemRendering, ItemsAreJoinedBySingleSpaces) {
    const std::string name = "front";
    const char* nullText = nullptr;
    const std::optional<int> none;
    const std::vector<int> list{1, 2, 3};
    const std::map<int, int>* noMap = nullptr;
    EXPECT_EQ(render(), "");
    EXPECT_EQ(render("CameraList, refresh", 3, name), "CameraList, refresh 3 front");
    EXPECT_EQ(render(std::string_view("view"), 'c', true, false), "view c true false");
    EXPECT_EQ(render(-42, 42u, std::int64_t{-9000000000}, std::uint8_t{200}), "-42 42 -9000000000 200");
    EXPECT_EQ(render(0.1, 2.5f, 1e21, -0.0), "0.1 2.5 1e+21 -0");
    EXPECT_EQ(render(std::optional<int>(5), none, nullText), "5 nil (null)");
    EXPECT_EQ(render(list, std::list<std::string>{"a", "b"}), "[1, 2, 3] [a, b]");
    EXPECT_EQ(render(Point{1, 2}, Mode::on), "(1,2) 7");
    EXPECT_EQ(render(noMap), "nil");
    EXPECT_EQ(render(std::string_view(), 1, std::string()), " 1 ");
}

TEST(ItemRendering, LongContentIsKeptWhole) {
    const std::string big(5000, 'x');
    EXPECT_EQ(render("head", big, "tail"), "head " + big + " tail");
}

} // namespace
} // namespace ostrane
