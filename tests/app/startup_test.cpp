#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/orbisk_app.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

using test::ReadFile;
using test::RunProgram;
using test::TempDir;
using test::WriteFile;

TEST(StartupTest, ShortVersionIsMajorDotMinor) {
    EXPECT_EQ(COrbiskApp::ShortVersion("2.63.2020.325"), "2.63");
    EXPECT_EQ(COrbiskApp::ShortVersion(""), "");
}

TEST(StartupTest, UnknownArgumentWritesFailAndRewritesConfig) {
    TempDir home;
    WriteFile(home.File("config.ini"), "#note\n[Orbisk Config]\nLogType=0\nEmpty=\nLib Type = 1\n");
    chmod(home.File("config.ini").c_str(), 0444);
    auto run = RunProgram({ORBISK_BIN, "anything"}, {"ORBISK_HOME=" + home.path()});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(home.File("Result.txt")), "fail");
    EXPECT_EQ(ReadFile(home.File("config.ini")),
              ";note\r\n\r\n[Orbisk Config]\r\nLogType=0\r\nEmpty\r\nLib Type = 1\r\n\r\n");
}

TEST(StartupTest, ConfigThatStopsLoadingIsLeftAsItWas) {
    TempDir home;
    const std::string original = "[Orbisk Config]\nDebug Log=0\n\tIndented=1\nLater=2\n";
    WriteFile(home.File("config.ini"), original);
    auto run = RunProgram({ORBISK_BIN, "x"}, {"ORBISK_HOME=" + home.path()});
    EXPECT_EQ(run.out, "Failing on char 9\n");
    EXPECT_EQ(ReadFile(home.File("config.ini")), original);
}

TEST(StartupTest, SilentRunWithoutCameraFails) {
    TempDir home;
    WriteFile(home.File("config.ini"), "[Orbisk Config]\nSaveResultToFile=2\nDebug Log=1\n");
    auto run = RunProgram({ORBISK_BIN, "-S"}, {"ORBISK_HOME=" + home.path()});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "\nGet IC Info Fail\n" + home.path() + ">");
    EXPECT_EQ(ReadFile(home.File("Result.txt")), "TestResult = fail");
    EXPECT_NE(ReadFile(home.File("DebugLog.txt")).find("Exit Debug Thread\r\n"), std::string::npos);
}

}  // namespace
}  // namespace orbisk
