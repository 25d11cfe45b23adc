#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/cli_fixture.h"
#include "app/orbisk_app.h"

namespace orbisk::test {
namespace {

// Every run has its own program folder, HOME and XDG folders and a bus without cameras: a
// camera on this machine is never reached, and no autostart entry of the user's is touched.
using StartupTest = CliFixture;

TEST(StartupVersionTest, ShortVersionIsMajorDotMinor) {
    EXPECT_EQ(COrbiskApp::ShortVersion("2.63.2020.325"), "2.63");
    EXPECT_EQ(COrbiskApp::ShortVersion(""), "");
}

TEST_F(StartupTest, UnknownArgumentWritesFailAndRewritesConfig) {
    WriteFile(Home("config.ini"), "#note\n[Orbisk Config]\nLogType=0\nEmpty=\nLib Type = 1\n");
    chmod(Home("config.ini").c_str(), 0444);
    auto run = Orbisk({"anything"}, ":");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
    EXPECT_EQ(ReadFile(Home("config.ini")),
              ";note\r\n\r\n[Orbisk Config]\r\nLogType=0\r\nEmpty\r\nLib Type = 1\r\n\r\n");
}

TEST_F(StartupTest, ConfigThatStopsLoadingIsLeftAsItWas) {
    const std::string original = "[Orbisk Config]\nDebug Log=0\n\tIndented=1\nLater=2\n";
    WriteFile(Home("config.ini"), original);
    auto run = Orbisk({"x"}, ":");
    EXPECT_EQ(run.out, "Failing on char 9\n");
    EXPECT_EQ(ReadFile(Home("config.ini")), original);
}

TEST_F(StartupTest, SilentRunWithoutCameraFailsAndKeepsTheAutostartEntry) {
    Config("SaveResultToFile=2\nDebug Log=1\n");
    RunOk({"/bin/mkdir", "-p", Path("xdg-home/autostart")});
    WriteFile(UserAutostart(), "[Desktop Entry]\n");
    auto run = Orbisk({"-S"}, ":");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "\nGet IC Info Fail\n" + Home() + ">");
    EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = fail");
    EXPECT_NE(ReadFile(Home("DebugLog.txt")).find("Exit Debug Thread\r\n"), std::string::npos);
    EXPECT_TRUE(FileExists(UserAutostart()));
}

}  // namespace
}  // namespace orbisk::test
