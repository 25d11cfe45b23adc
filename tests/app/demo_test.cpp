// `make demo` runs scripts/demo.sh; this keeps its story true: the camera is updated and keeps
// its serial number.
#include <gtest/gtest.h>

#include <regex>

#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

ProgramRun Demo(const TempDir& tmp, std::vector<std::string> options = {}) {
    std::vector<std::string> argv{"/bin/bash", ORBISK_SOURCE_DIR "/scripts/demo.sh",
                                  ORBISK_TOOLS_DIR "/.."};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProgram(argv, {"ORBISK_SIM_CLOCK=virtual", "TMPDIR=" + tmp.path()});
}

TEST(DemoTest, DemoUpdatesTheCameraAndKeepsItsSerialNumber) {
    TempDir tmp;
    const ProgramRun run = Demo(tmp);
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Begin to Write fw!\r\nWrite fw pass!\r\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Result.txt: TestResult = pass"), std::string::npos);
    EXPECT_NE(run.out.find("firmware version: 0x00-0000-1060  (was 0x00-0000-1050)"),
              std::string::npos);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        run.out, m, std::regex("serial number: +(SN-\\d+-\\d+)  \\(was (SN-\\S+)\\)")))
        << run.out;
    EXPECT_EQ(m[1].str(), m[2].str());
    EXPECT_NE(run.out.find(m[1].str() + ",          Pass,    0:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("exit code:        0"), std::string::npos);
    // The demo cleans up after itself.
    EXPECT_EQ(RunProgram({"/bin/sh", "-c", "ls -A " + tmp.path()}, {}).out, "");
}

TEST(DemoTest, EveryMemoryTheSimulatedCameraHasIsDemonstrated) {
    for (const char* memory : {"nor", "eeprom8", "eeprom16", "mtp", "otp", "bridge"}) {
        SCOPED_TRACE(memory);
        TempDir tmp;
        const ProgramRun run = Demo(tmp, {"--memory", memory});
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_NE(run.out.find(" -s --image new.rfw\n"), std::string::npos) << run.out;
        const std::string version =
            std::string(memory) == "bridge" ? "bridge firmware:  " : "firmware version: ";
        EXPECT_NE(run.out.find(version + "0x00-0000-1060  (was 0x00-0000-1050)"), std::string::npos)
            << run.out;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            run.out, m, std::regex("serial number: +(SN-\\d+-\\d+)  \\(was (SN-\\S+)\\)")));
        EXPECT_EQ(m[1].str(), m[2].str());
    }
    // A memory the demo does not know is a usage error.
    TempDir tmp;
    EXPECT_EQ(Demo(tmp, {"--memory", "flash"}).exit_code, 2);
}

}  // namespace
}  // namespace orbisk::test
