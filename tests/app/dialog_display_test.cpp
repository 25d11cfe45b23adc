// The real orbisk started without arguments where there is no display for its dialog.
#include <gtest/gtest.h>

#include "app/cli_fixture.h"

namespace orbisk::test {
namespace {

class NoDisplayTest : public CliFixture, public ::testing::WithParamInterface<const char*> {};

// No display at all, or one that cannot be reached: one line that says how to run the command
// line instead, exit code 1, and config.ini written back as at any exit (here with the CR LF
// line ends of the writer, where the file had LF).
TEST_P(NoDisplayTest, SaysHowToUpdateFromTheCommandLine) {
    Config("AutoRun=1\nLoop Test=0\n");
    const std::string camera = Camera("cam", {});
    // A bare name removes the variable from the program's environment.
    const ProgramRun run =
        Orbisk({}, camera, {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", std::string(GetParam())});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("no display for the update dialog"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("orbisk -s"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Home("config.ini")), "[Orbisk Config]\r\nAutoRun=1\r\nLoop Test=0\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(Displays, NoDisplayTest, ::testing::Values("DISPLAY", "DISPLAY=:77"),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Unset" : "Unreachable");
                         });

}  // namespace
}  // namespace orbisk::test
