// orbisk-sim end to end: create, show, fault and set.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "base/ini_file.h"
#include "platform/linux/inotify_folder_watch.h"
#include "sim/sim_fixture.h"
#include "sim/sim_store.h"
#include "support/table_row.h"
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

std::string ImageFile(const TempDir& temp, const std::string& name, const ImageRecipe& recipe) {
    const auto image = BuildImage(recipe);
    WriteFile(temp.File(name), std::string(image.begin(), image.end()));
    return temp.File(name);
}

TEST(OrbiskSimTool, CreateWithImageShowsTheImagesIdentityOrTheRom) {
    TempDir temp;
    ImageRecipe recipe;
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

    // A sensor on the camera's sensor bus, kept in its settings.
    ASSERT_EQ(Sim({"create", temp.File("sensor"), "--sensor", "0x6c=0x300a:0x2722"}).exit_code, 0);
    EXPECT_NE(ReadFile(temp.File("sensor") + "/camera.ini").find("[Sensors]\r\n0x6C=0x300A:0x2722"),
              std::string::npos);

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
    const std::string image = ImageFile(temp, "tagged.rfw", ImageRecipe{});
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
        {{"create", temp.File("x"), "--sensor", "0x6C"}, 2},                // no registers
        {{"create", temp.File("x"), "--sensor", "0x6D=0x300A:0x2722"}, 1},  // a read address
        {{"set", dir, "Sensors.0x20=0x300A"}, 1},                           // no value
        {{"show", temp.File("nothing")}, 1},
        {{"unplug", temp.File("nothing")}, 1},
        {{"plug", temp.File("nothing")}, 1},
        {{"unplug", dir, "now"}, 2},
        {{"unplug"}, 2},
        {{"replug", dir}, 2},
        {{"create", "--force"}, 2},  // an option where the folder belongs
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        const auto run = Sim(c.args);
        EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << " " << c.args.back();
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(ReadFile(dir + "/camera.ini"), before);
    EXPECT_FALSE(orbisk::test::FileExists(temp.File("x") + "/camera.ini"));
    EXPECT_FALSE(orbisk::test::FileExists(temp.File("cam") + "/cable"));
}

TEST(OrbiskSimTool, HelpPrintsTheUsageAndDoesNothingElse) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    struct Case {
        std::vector<std::string> args;
        const char* shows;
        const char* leaves_out;  // another command's line: only the one asked about is shown
    };
    const std::vector<Case> cases = {
        {{"--help"}, "orbisk-sim unplug DIR", nullptr},
        {{"-h"}, "orbisk-sim create DIR", nullptr},
        {{"create", "--help"}, "orbisk-sim create DIR", "orbisk-sim show"},
        {{"create", dir, "--serial", "S1", "--help"}, "--ports A.B", "orbisk-sim plug"},
        {{"unplug", "-h"}, "orbisk-sim unplug DIR", "orbisk-sim create"},
        {{"show", dir, "--help"}, "orbisk-sim show DIR [--json]", "orbisk-sim set"},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        std::vector<std::string> argv = c.args;
        argv.insert(argv.begin(), kTool);
        const auto run = RunProgram(argv, {}, temp.path());
        EXPECT_EQ(run.exit_code, 0) << c.args[0];
        EXPECT_EQ(run.out.rfind("usage:\n", 0), 0u) << run.out;
        EXPECT_NE(run.out.find(c.shows), std::string::npos) << run.out;
        if (c.leaves_out) {
            EXPECT_EQ(run.out.find(c.leaves_out), std::string::npos) << run.out;
        }
        EXPECT_TRUE(run.err.empty()) << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

TEST(OrbiskSimTool, CamerasCreatedBesideOthersTakeFreePorts) {
    TempDir temp;
    auto create = [&](const std::string& name, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"create", temp.File(name)});
        const auto run = Sim(options);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return orbisk::test::ReadFile(temp.File(name) + "/camera.ini");
    };
    auto ports_of = [&](const std::string& name) {
        CIniFile ini(temp.File(name) + "/camera.ini");
        EXPECT_TRUE(ini.ReadFile());
        return ini.GetValue("Usb", "Bus") + "-" + ini.GetValue("Usb", "Ports");
    };
    create("a");
    create("b");
    create("c", {"--ports", "4.2"});  // given ports win, and take their root port
    create("d", {"--bus", "2"});      // another bus has ports of its own
    create("e");
    WriteFile(temp.File("notes.txt"), "not a camera");
    create("b", {"--force"});  // made again, it may have its own port back
    EXPECT_EQ(ports_of("a"), "1-1");
    EXPECT_EQ(ports_of("b"), "1-2");
    EXPECT_EQ(ports_of("c"), "1-4.2");
    EXPECT_EQ(ports_of("d"), "2-1");
    EXPECT_EQ(ports_of("e"), "1-3");
    create("f");
    EXPECT_EQ(ports_of("f"), "1-5");
}

TEST(OrbiskSimTool, UnplugAndPlugSetTheCableThatShowReports) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    ASSERT_EQ(Sim({"create", dir}).exit_code, 0);
    auto plugged = [&] { return Sim({"show", dir, "--json"}).out; };
    EXPECT_NE(plugged().find("\"plugged\": true"), std::string::npos);
    for (int round = 0; round < 2; ++round) {  // a second unplug finds it unplugged already
        const auto run = Sim({"unplug", dir});
        EXPECT_EQ(run.exit_code, 0) << run.err;
    }
    EXPECT_NE(plugged().find("\"plugged\": false"), std::string::npos);
    EXPECT_NE(Sim({"show", dir}).out.find("cable:        unplugged\n"), std::string::npos);

    // A folder orbisk could not load is refused, and stays unplugged.
    const std::string settings = ReadFile(dir + "/camera.ini");
    WriteFile(dir + "/camera.ini", "[Camera]\nMemory=tape\n");
    const auto refused = Sim({"plug", dir});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("stays unplugged"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFile(dir + "/cable"), "unplugged\n");
    WriteFile(dir + "/camera.ini", settings);
    EXPECT_EQ(Sim({"plug", dir}).exit_code, 0);
    EXPECT_NE(plugged().find("\"plugged\": true"), std::string::npos);
}

// unplug returns only once every program holding the camera has let it go.
TEST(OrbiskSimTool, UnplugWaitsForTheProgramThatHoldsTheCamera) {
    TempDir temp;
    const std::string dir = temp.File("cam");
    ASSERT_EQ(Sim({"create", dir}).exit_code, 0);
    InotifyFolderWatch watch(kCableFile);
    ASSERT_TRUE(watch.Add(dir));
    auto hold = watch.Hold(dir);
    ASSERT_NE(hold, nullptr);
    std::atomic<bool> done{false};
    int exit_code = -1;
    std::thread unplug([&] {
        exit_code = Sim({"unplug", dir}).exit_code;
        done = true;
    });
    std::vector<std::string> changed;
    ASSERT_TRUE(watch.Wait(&changed));  // the cable file says "unplugged" now
    EXPECT_FALSE(done);
    hold.reset();
    unplug.join();
    EXPECT_EQ(exit_code, 0);
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
