// orbisk-sim end to end: create, show, fault and set.
#include <gtest/gtest.h>

#include "sim/sim_fixture.h"
#include "sim/sim_store.h"
#include "support/temp_dir.h"

namespace orbisk::sim::test {
namespace {

using orbisk::test::ReadFile;
using orbisk::test::RunProgram;
using orbisk::test::TempDir;
using orbisk::test::WriteFile;

const std::string kTool = ORBISK_TOOLS_DIR "/orbisk-sim";

orbisk::test::ProgramRun Sim(std::vector<std::string> args) {
    args.insert(args.begin(), kTool);
    return RunProgram(args, {});
}

std::string ImageFile(const TempDir& temp, const std::string& name, const ImageSpec& recipe) {
    const auto image = BuildImage(recipe);
    WriteFile(temp.File(name), std::string(image.begin(), image.end()));
    return temp.File(name);
}

TEST(OrbiskSimTool, CreateWithImageShowsTheImagesIdentityOrTheRom) {
    TempDir temp;
    ImageSpec recipe;
    recipe.vid = 0x4B3D;
    recipe.pid = 0x113F;
    recipe.serial = "A-17";
    const std::string tagged = ImageFile(temp, "tagged.rfw", recipe);
    recipe.tag = false;
    const std::string untagged = ImageFile(temp, "untagged.rfw", recipe);

    ASSERT_EQ(Sim({"create", temp.File("app"), "--image", tagged}).exit_code, 0);
    auto show = Sim({"show", temp.File("app"), "--json"});
    ASSERT_EQ(show.exit_code, 0) << show.err;
    for (const char* part :
         {"\"vid\": \"4B3D\"", "\"pid\": \"113F\"", "\"rev\": \"0102\"", "\"serial\": \"A-17\"",
          "\"manufacturer\": \"Fixture Maker\"", "\"mode\": \"app\"",
          "\"version\": \"0x00-0003-2A07\"", "\"name\": \"flash\", \"size\": 131072"})
        EXPECT_NE(show.out.find(part), std::string::npos) << part << "\n" << show.out;

    ASSERT_EQ(Sim({"create", temp.File("rom"), "--image", untagged, "--serial", "R1"}).exit_code,
              0);
    show = Sim({"show", temp.File("rom"), "--json"});
    for (const char* part : {"\"vid\": \"2C7E\"", "\"mode\": \"rom\"", "\"serial\": \"R1\"",
                             "\"version\": \"0x00-0000-0100\""})
        EXPECT_NE(show.out.find(part), std::string::npos) << part << "\n" << show.out;

    const auto refused = Sim({"create", temp.File("bad"), "--image", untagged, "--mode", "app"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("cannot run its application"), std::string::npos);
}

TEST(OrbiskSimTool, CameraMadeFromAnImageIsLockedAsAnUpdateLeavesIt) {
    TempDir temp;
    const std::string image = ImageFile(temp, "tagged.rfw", ImageSpec{});
    struct Case {
        const char* name;
        std::vector<std::string> options;
        int status;  // the flash status register, or -1: refused
    };
    const Case cases[] = {
        {"app", {"--image", image}, kProtectedFlashStatus},
        {"app-unlocked", {"--image", image, "--protected", "no"}, 0x00},
        {"blank", {}, 0x00},
        {"blank-locked", {"--protected", "yes"}, kProtectedFlashStatus},
        {"rom-image", {"--image", image, "--mode", "rom"}, 0x00},
        {"nor", {"--memory", "nor", "--memory-size", "0x10000", "--protected", "yes"}, -1},
        {"typo", {"--protected", "1"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"create", temp.File(c.name)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto run = Sim(args);
        ASSERT_EQ(run.exit_code, c.status < 0 ? 1 : 0) << run.err;
        if (c.status < 0) continue;
        VirtualClock clock;
        std::string error;
        auto camera = LoadCameraFolder(temp.File(c.name), clock, &error);
        ASSERT_NE(camera, nullptr) << error;
        EXPECT_EQ(camera->Settings().flash_status, c.status);
    }
}

TEST(OrbiskSimTool, DemoImageRunsWithItsIdentityAndWithoutTagStaysInRom) {
    TempDir temp;
    const std::string demo = temp.File("demo.rfw");
    const auto made =
        RunProgram({ORBISK_TOOLS_DIR "/orbisk-image", "demo", demo, "--vid", "4B3D", "--pid",
                    "113F", "--rev", "0210", "--version", "01020304", "--serial", "SIM-42"},
                   {});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    ASSERT_EQ(Sim({"create", temp.File("app"), "--image", demo}).exit_code, 0);
    auto show = Sim({"show", temp.File("app"), "--json"});
    for (const char* part :
         {"\"vid\": \"4B3D\"", "\"pid\": \"113F\"", "\"rev\": \"0210\"", "\"serial\": \"SIM-42\"",
          "\"mode\": \"app\"", "\"version\": \"0x00-0102-0304\""})
        EXPECT_NE(show.out.find(part), std::string::npos) << part << "\n" << show.out;

    std::string bytes = ReadFile(demo);
    bytes[0x0FFE] = bytes[0x0FFF] = '\xFF';
    WriteFile(demo, bytes);
    ASSERT_EQ(Sim({"create", temp.File("rom"), "--image", demo}).exit_code, 0);
    show = Sim({"show", temp.File("rom"), "--json"});
    for (const char* part : {"\"vid\": \"2C7E\"", "\"pid\": \"B016\"", "\"mode\": \"rom\"",
                             "\"version\": \"0x00-0000-0100\""})
        EXPECT_NE(show.out.find(part), std::string::npos) << part << "\n" << show.out;
}

TEST(OrbiskSimTool, BadInputChangesNothing) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    ASSERT_EQ(Sim({"create", dir, "--generation", "v2", "--ports", "1.4"}).exit_code, 0);
    const std::string before = ReadFile(dir + "/camera.ini");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
    };
    const std::vector<Case> cases = {
        {{"create", dir}, 1},                           // already a camera there
        {{"set", dir, "Usb.Speed=9"}, 1},               // invalid value
        {{"set", dir, "Speed=3"}, 1},                   // no section
        {{"set", dir, "Camera.ChipIdFE21=0x100"}, 1},   // not a byte
        {{"set", dir, "Camera.ChipIdFE22=0x6O"}, 1},    // not a number
        {{"fault", dir, "--stuck-bit", "0x10"}, 1},     // incomplete
        {{"fault", dir, "--fail-errno", "ENOSPC"}, 1},  // not a failure we model
        {{"fault", dir, "--bogus"}, 2},
        {{"create", temp.File("x"), "--profile", "ORV0000"}, 1},
        {{"create", temp.File("y"), "--vid", "0x10000"}, 1},
        {{"show", temp.File("nothing")}, 1},
    };
    for (const Case& c : cases) {
        const auto run = Sim(c.args);
        EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << " " << c.args.back();
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(ReadFile(dir + "/camera.ini"), before);
    EXPECT_FALSE(orbisk::test::FileExists(temp.File("x") + "/camera.ini"));
}

TEST(OrbiskSimTool, FaultAndSetReachTheCamera) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    ASSERT_EQ(Sim({"create", dir}).exit_code, 0);
    ASSERT_EQ(Sim({"fault", dir, "--fail-transfer", "3", "--bad-qualify"}).exit_code, 0);
    ASSERT_EQ(Sim({"set", dir, "Timing.ChipEraseMs=250"}).exit_code, 0);
    CIniFile ini(dir + "/camera.ini");
    ASSERT_TRUE(ini.ReadFile());
    SimSettings settings;
    std::string error;
    ASSERT_TRUE(settings.Load(ini, &error)) << error;
    EXPECT_EQ(settings.faults.fail_transfer, 3u);
    EXPECT_TRUE(settings.faults.bad_qualify);
    EXPECT_EQ(settings.timing.chip_erase_ms, 250u);
    ASSERT_EQ(Sim({"fault", dir, "--clear"}).exit_code, 0);
    ASSERT_TRUE(ini.ReadFile());
    ASSERT_TRUE(settings.Load(ini, &error));
    EXPECT_EQ(settings.faults.fail_transfer, 0u);
    EXPECT_FALSE(settings.faults.bad_qualify);
}

TEST(OrbiskSimTool, SetChipIdentityReachesTheRegistersAndEmptyGivesTheProfilesBack) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    ASSERT_EQ(Sim({"create", dir}).exit_code, 0);
    auto identity = [&]() {
        VirtualClock clock;
        std::string error;
        auto camera = LoadCameraFolder(dir, clock, &error);
        EXPECT_NE(camera, nullptr) << error;
        if (!camera) return std::vector<uint8_t>{};
        const std::vector<uint8_t> block = camera->StatusBlock();
        return std::vector<uint8_t>{block[6], block[7]};
    };
    EXPECT_EQ(identity(), (std::vector<uint8_t>{0x10, 0xC0}));  // the profile's
    const auto run = Sim({"set", dir, "Camera.ChipIdFE21=0x00", "Camera.ChipIdFE22=0x60"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(identity(), (std::vector<uint8_t>{0x00, 0x60}));
    // A change of profile keeps the set bytes; clearing them gives that profile's identity.
    ASSERT_EQ(Sim({"set", dir, "Camera.Profile=ORV7507"}).exit_code, 0);
    EXPECT_EQ(identity(), (std::vector<uint8_t>{0x00, 0x60}));
    ASSERT_EQ(Sim({"set", dir, "Camera.ChipIdFE21=", "Camera.ChipIdFE22="}).exit_code, 0);
    EXPECT_EQ(identity(), (std::vector<uint8_t>{0x00, 0xD0}));
}

}  // namespace
}  // namespace orbisk::sim::test
