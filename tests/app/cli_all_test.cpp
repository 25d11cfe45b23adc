// `orbisk -s --all`: the real command line against several simulated cameras at once.
#include <gtest/gtest.h>

#include <regex>

#include "app/cli_fixture.h"

namespace orbisk::test {
namespace {

class CliAllTest : public CliFixture {
  protected:
    // A camera on its own port running older firmware (0x1050), its serial number in the
    // manufacturer string.
    std::string OldCamera(const std::string& name, int port, const std::string& serial) {
        return Camera(name, {"--ports", std::to_string(port), "--image",
                             DemoImage(name + ".rfw", {"--version", "1050", "--rev", "0050",
                                                       "--manufacturer", serial})});
    }
    // Four cameras on ports 1 to 4, as one ORBISK_SIM value.
    std::string FourCameras() {
        std::string sim;
        for (int port = 1; port <= 4; ++port) {
            cameras_.push_back(
                OldCamera("cam" + std::to_string(port), port, "SN-ALL-" + std::to_string(port)));
            sim += (sim.empty() ? "" : ":") + cameras_.back();
        }
        return sim;
    }
    // The burn rows after the two header lines, without their date and time.
    std::vector<std::string> BurnRowTails() {
        const std::string text = ReadFile(Work("burn_result.txt"));
        std::vector<std::string> rows;
        size_t start = text.find("\r\n", text.find("\r\n") + 2) + 2;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) break;
            rows.push_back(text.substr(start + 36, end - start - 36));
            start = end + 2;
        }
        return rows;
    }
    static std::string RowTail(const std::string& serial, const std::string& result,
                               uint32_t code) {
        std::string field = serial + ",";
        field.resize(std::max<size_t>(field.size(), 27), ' ');
        std::string verdict = result + ",";
        verdict.resize(9, ' ');
        return field + verdict + std::to_string(code) + ":";
    }
    void ExpectUpdated(const std::string& camera, const std::string& serial) {
        const std::string after = Show(camera);
        EXPECT_EQ(Field(after, "mode"), "app") << camera;
        EXPECT_EQ(Field(after, "version"), "0x00-0000-1060") << camera;
        EXPECT_EQ(Field(after, "manufacturer"), serial) << camera;
    }

    std::vector<std::string> cameras_;
};

TEST_F(CliAllTest, FourCamerasOneFailsAndIsBroughtBackByTheNextRun) {
    const std::string sim = FourCameras();
    Config("SaveSN=1\nSaveResultToFile=2\nLogType=1\n");
    Sim({"fault", cameras_[2], "--drop-all-writes"});

    const ProgramRun run = Orbisk({"-s", "--all"}, sim);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = fail");
    // Progress of every camera on stderr, each line carrying its port.
    for (const char* port : {"1-1", "1-2", "1-3", "1-4"}) {
        EXPECT_NE(run.err.find(std::string("[") + port + "] Download: "), std::string::npos)
            << run.err;
    }
    EXPECT_NE(run.err.find("[1-1] Reset to new code: 100%"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("orbisk [1-3]: Compare Data Fail! (status 41709)"), std::string::npos)
        << run.err;
    // The summary: one line per camera, in port order, each with the identity it was found
    // with, the failed one with its code and text.
    const std::regex table(
        "Port +Camera +Serial number +Code +Result\n"
        "1-1 +VID_2C7E&PID_6363&REV_0050 +SN-ALL-1 +0 +Pass\n"
        "1-2 +VID_2C7E&PID_6363&REV_0050 +SN-ALL-2 +0 +Pass\n"
        "1-3 +VID_2C7E&PID_6363&REV_0050 +SN-ALL-3 +41709 +Fail: Compare Data Fail!\n"
        "1-4 +VID_2C7E&PID_6363&REV_0050 +SN-ALL-4 +0 +Pass\n");
    EXPECT_TRUE(std::regex_match(run.out, table)) << run.out;
    EXPECT_EQ(BurnRowTails(),
              (std::vector<std::string>{
                  RowTail("SN-ALL-1", "Pass", 0), RowTail("SN-ALL-2", "Pass", 0),
                  RowTail("SN-ALL-3", "Fail", 41709), RowTail("SN-ALL-4", "Pass", 0)}));
    for (int i : {0, 1, 3}) ExpectUpdated(cameras_[i], "SN-ALL-" + std::to_string(i + 1));
    // The failed camera was erased and left in its boot ROM, with the record that brings it back.
    EXPECT_EQ(Field(Show(cameras_[2]), "mode"), "rom");
    ASSERT_TRUE(FileExists(Home("Recovery/1-3.ini")));

    Sim({"fault", cameras_[2], "--clear"});
    const ProgramRun again = Orbisk({"-s", "--all"}, sim);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "TestResult = pass");
    for (int i = 0; i < 4; ++i) ExpectUpdated(cameras_[i], "SN-ALL-" + std::to_string(i + 1));
    EXPECT_FALSE(FileExists(Home("Recovery/1-3.ini")));
    EXPECT_EQ(BurnRowTails().size(), 8u);
}

TEST_F(CliAllTest, CameraThatLeavesMidRunDoesNotStopTheOthers) {
    const std::string sim = FourCameras();
    Config("SaveSN=1\nSaveResultToFile=1\n");
    Sim({"fault", cameras_[1], "--disconnect-at", "40"});

    const ProgramRun run = Orbisk({"-s", "--all"}, sim);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n1-2 .* Fail"))) << run.out;
    for (int i : {0, 2, 3}) ExpectUpdated(cameras_[i], "SN-ALL-" + std::to_string(i + 1));
}

TEST_F(CliAllTest, CamerasTheRunWouldRefuseCountAsFailures) {
    const std::string good = OldCamera("good", 1, "SN-GOOD");
    // Another product: the carried image is not for it.
    const std::string other = Camera("other", {"--ports", "2", "--pid", "0x1234"});
    Config("SaveSN=1\n");
    const ProgramRun run = Orbisk({"-s", "--all"}, good + ":" + other);
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n1-1 .* 0 +Pass\n"))) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n1-2 .* Fail"))) << run.out;
    ExpectUpdated(good, "SN-GOOD");
}

TEST_F(CliAllTest, OptionsThatCannotGoTogetherAreRefusedBeforeAnyCamera) {
    const std::string camera = OldCamera("cam", 1, "SN-ONE");
    const std::string before = Show(camera);
    struct Case {
        std::vector<std::string> args;
        std::string config;
        std::string error;
    };
    const Case cases[] = {
        {{"--all"}, "", "orbisk: --all updates every camera: orbisk -s --all\n"},
        {{"-s", "--all", "--recover"}, "", "--all cannot be combined with --recover"},
        {{"--list", "--all"}, "", "orbisk: --all cannot be combined with --list\n"},
        {{"-s", "--all"}, "LockPort=1\n", "\"LockPort\""},
        {{"-s", "--all"}, "MIPI Camera=1\n", "\"MIPI Camera\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        Config(c.config);
        const ProgramRun run = Orbisk(c.args, camera);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_EQ(Show(camera), before);
    }
    // No camera at all is a failure, as for one camera.
    Config("SaveResultToFile=1\n");
    const ProgramRun none = Orbisk({"-s", "--all"}, ":");
    EXPECT_EQ(none.exit_code, 1);
    EXPECT_NE(none.err.find("orbisk: no camera found"), std::string::npos) << none.err;
    EXPECT_EQ(ReadFile(Home("Result.txt")), "fail");
}

}  // namespace
}  // namespace orbisk::test
