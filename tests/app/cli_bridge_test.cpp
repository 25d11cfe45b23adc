// orbisk -s against a simulated MIPI module: the bridge's own flash takes the image.
#include <gtest/gtest.h>

#include <regex>

#include "app/cli_fixture.h"

namespace orbisk::test {
namespace {

class CliBridgeTest : public CliFixture {
  protected:
    // An ORV7608 module: the controller runs the demo image (an identity whose image the program
    // carries), the bridge runs firmware version 0x00010203.
    std::string Module(const std::string& name) {
        const std::string bridge =
            DemoImage(name + "-bridge.rfw", {"--profile", "ORV7608", "--version", "10203"});
        return Camera(name, {"--profile", "ORV7608", "--image", DemoImage(name + ".rfw", {}),
                             "--bridge", "--bridge-image", bridge});
    }
    static std::string BridgeSha(const std::string& json) {
        std::smatch m;
        const std::regex pattern(
            "\"name\": \"bridge\", \"size\": 131072, \"sha256\": \"([0-9a-f]+)\"");
        return std::regex_search(json, m, pattern) ? m[1].str() : "(no bridge)";
    }
    std::string ImageSha(const std::string& id) {
        const std::string file = Path("image-" + id + ".rfw");
        RunOk({ORBISK_TOOLS_DIR "/orbisk-image", "extract", id, file});
        return RunOk({"/usr/bin/sha256sum", file}).out.substr(0, 64);
    }
};

TEST_F(CliBridgeTest, UpdatesTheBridgeAndItRunsTheNewImage) {
    const std::string camera = Module("mipi");
    Config("MIPI Camera=1\r\n");
    const std::string before = Show(camera);
    EXPECT_EQ(Field(before, "bridge_mode"), "app");
    EXPECT_EQ(Field(before, "bridge_version"), "0x00-0000-0203");

    const ProgramRun run = Orbisk({"-s"}, camera);
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Write fw pass!"), std::string::npos) << run.out;
    const std::string after = Show(camera);
    // The image the program carries for this identity, started by the bridge; the
    // controller's own memory untouched.
    EXPECT_EQ(BridgeSha(after), ImageSha("3068"));
    EXPECT_EQ(Field(after, "bridge_mode"), "app");
    EXPECT_EQ(Field(after, "bridge_version"), "0x00-0000-1060");
    EXPECT_EQ(Field(after, "version"), Field(before, "version"));
}

TEST_F(CliBridgeTest, AFailedEraseEndsWithItsCodeAndTheNextRunBringsTheCameraBack) {
    const std::string camera = Module("mipi");
    Config("MIPI Camera=1\r\n");
    Sim({"fault", camera, "--bridge-fail-command", "0x0107"});
    const ProgramRun failed = Orbisk({"-s"}, camera);
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_NE(failed.err.find("Erase Flash Fail! (status 41705)"), std::string::npos) << failed.err;
    EXPECT_EQ(Field(Show(camera), "bridge_version"), "0x00-0000-0203");

    Sim({"fault", camera, "--clear"});
    const ProgramRun again = Orbisk({"-s"}, camera);
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(Field(Show(camera), "bridge_version"), "0x00-0000-1060");
}

}  // namespace
}  // namespace orbisk::test
