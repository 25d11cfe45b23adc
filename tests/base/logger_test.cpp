#include "base/logger.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/clock.h"
#include "base/debug_channel.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

TEST(LoggerTest, ScopeWritesPrefixedStartAndExitLines) {
    VirtualClock clock(1234000);
    test::RecordingLogSink sink;
    Logger logger(clock, &sink);
    {
        LogScope scope(logger, "COrvThread::OnDownload");
        scope.Line("value %d\n", 7);
        scope.Section("Start Download\n");
    }
    auto lines = sink.lines();
    ASSERT_EQ(lines.size(), 5u);
    std::regex prefix(R"(\([0-9A-F]+-1234\):COrvThread::OnDownload:> START --->>>\r\n)");
    EXPECT_TRUE(std::regex_match(lines[0], prefix)) << lines[0];
    EXPECT_NE(lines[1].find(":> value 7\r\n"), std::string::npos);
    EXPECT_EQ(lines[2], "----------------:\r\n");
    EXPECT_EQ(lines[3], "Start Download\r\n");
    EXPECT_NE(lines[4].find("EXIT <<<---\r\n"), std::string::npos);
}

TEST(LoggerTest, CutsLongLinesAndHonoursTheCategoryMask) {
    VirtualClock clock;
    test::RecordingLogSink sink;
    Logger logger(clock, &sink);
    LogScope scope(logger, "X::Y", 0, 2);
    std::string big(5000, 'a');
    scope.Line("%s\n", big.c_str());
    ASSERT_EQ(sink.lines().size(), 2u);
    EXPECT_EQ(sink.lines()[1].size(), Logger::kLineChars - 1 + 2);
    logger.DebugPrint("%s", big.c_str());
    EXPECT_EQ(sink.lines()[2].size(), Logger::kDebugPrintChars + 2);
    logger.SetCategoryMask(1);
    scope.Line("hidden\n");
    EXPECT_EQ(sink.lines().size(), 3u);
}

TEST(LoggerTest, CaptureWritesOwnLinesToTheFileAndStops) {
    test::TempDir dir;
    VirtualClock clock;
    DebugChannel channel;
    Logger logger(clock, &channel);
    ASSERT_TRUE(channel.StartCapture(dir.File("DebugLog.txt")));
    logger.DebugPrint("first  \t");
    logger.DebugPrint("second\n");
    EXPECT_TRUE(channel.StopCapture(logger));
    EXPECT_EQ(test::ReadFile(dir.File("DebugLog.txt")), "first\r\nsecond\r\nExit Debug Thread\r\n");
    EXPECT_FALSE(channel.StartCapture(dir.File("missing/DebugLog.txt")));
}

}  // namespace
}  // namespace orbisk
