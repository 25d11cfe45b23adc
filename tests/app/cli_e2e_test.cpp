// The real orbisk against simulated cameras, as an operator or a production script runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/cli_fixture.h"

namespace orbisk::test {
namespace {

using CliTest = CliFixture;

TEST_F(CliTest, NoCameraFailsInEveryResultMode) {
    struct Case {
        int mode;
        bool file;
        std::string verdict;
    };
    for (const Case& c : {Case{0, false, ""}, Case{1, true, "fail"},
                          Case{2, true, "TestResult = fail"}, Case{3, true, ""}}) {
        SCOPED_TRACE(c.mode);
        unlink(Home("Result.txt").c_str());
        Config("SaveResultToFile=" + std::to_string(c.mode) + "\nLogType=1\n");
        const ProgramRun run = Orbisk({"-s"}, ":");  // a bus without cameras
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "\nGet IC Info Fail\n" + Home() + ">");
        EXPECT_NE(run.err.find("Detect Device Fail! (status 41511)"), std::string::npos) << run.err;
        EXPECT_EQ(FileExists(Home("Result.txt")), c.file);
        if (c.file) {
            EXPECT_EQ(ReadFile(Home("Result.txt")), c.verdict);
        }
        // No update was attempted, so there is no burn row.
        EXPECT_FALSE(FileExists(Work("burn_result.txt")));
    }
}

TEST_F(CliTest, BadSimulationFolderIsExplained) {
    const ProgramRun run = Orbisk({"/S"}, Path("missing"));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("ORBISK_SIM: " + Path("missing")), std::string::npos) << run.err;
}

TEST_F(CliTest, OnlyTheArgumentsAskForTheUpdate) {
    const std::string camera =
        Camera("cam", {"--image", DemoImage("old.rfw", {"--version", "1050"})});
    const std::string before = Show(camera);
    // A program stored under a folder whose name holds "-s", run with another argument.
    RunOk({"/bin/mkdir", Path("tools-s")});
    ASSERT_EQ(symlink(ORBISK_BIN, Path("tools-s/orbisk").c_str()), 0);
    ProgramRun run =
        RunProgram({Path("tools-s/orbisk"), "check"},
                   {"ORBISK_HOME=" + Home(), "ORBISK_SIM=" + camera, "ORBISK_SIM_CLOCK=virtual"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
    EXPECT_EQ(Show(camera), before);
}

TEST_F(CliTest, HelpAndVersionTouchNoCamera) {
    const ProgramRun help = Orbisk({"--help"}, Path("missing"));
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("usage: orbisk", 0), 0u) << help.out;
    const ProgramRun version = Orbisk({"-s", "--version"}, Path("missing"));
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, std::string("orbisk ") + ORBISK_VERSION + "\n");
    EXPECT_FALSE(FileExists(Home("Result.txt")));
}

}  // namespace
}  // namespace orbisk::test
