// End-to-end runs of the built orbisk-image program.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "image/area_fixture.h"
#include "image/config_edit.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

const std::string kTool = ORBISK_TOOLS_DIR "/orbisk-image";

ProgramRun Tool(std::vector<std::string> args) {
    args.insert(args.begin(), kTool);
    return RunProgram(args, {});
}

Bytes Load(const std::string& path) {
    const std::string s = ReadFile(path);
    return Bytes(s.begin(), s.end());
}

void Save(const std::string& path, const Bytes& b) {
    WriteFile(path, std::string(b.begin(), b.end()));
}

TEST(OrbiskImage, CarriedImageShowsItsIdentity) {
    const ProgramRun r = Tool({"info", "@3068", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const char* key :
         {"\"config_offset\": 44544", "\"config_at_start\": false", "\"type\": 85",
          "\"chip_model\": 22", "\"vid\": 11390", "\"pid\": 25443", "\"version\": 4192",
          "{\"offset\": 6, \"type\": 47, \"length\": 6, \"class\": \"CDescHWAPVersion\"}",
          "\"class\": \"CDescStringManu\", \"text\": \"Orbisk\"}"})
        EXPECT_NE(r.out.find(key), std::string::npos) << key << "\n" << r.out;
    EXPECT_EQ(r.out.find("crc_ok"), std::string::npos);
}

TEST(OrbiskImage, DemoEditAndStripRoundTrip) {
    TempDir dir;
    const std::string demo = dir.File("d.rfw"), sn = dir.File("sn.rfw"), st = dir.File("st.rfw");
    ProgramRun r = Tool({"demo", demo, "--vid", "0x1BCF", "--pid", "2B8A", "--rev", "0x0102",
                         "--serial", "AB12", "--version", "0x2345", "--product", "Cam \"X\""});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Load(demo).size(), 0x20000u);
    r = Tool({"info", demo, "--json"});
    EXPECT_NE(r.out.find("\"vid\": 7119,\n  \"pid\": 11146,\n  \"rev\": 258"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"version\": 9029"), std::string::npos);
    EXPECT_NE(r.out.find("\"text\": \"Cam \\\"X\\\"\""), std::string::npos);

    r = Tool({"set-string", demo, sn, "--type", "3", "--text", "SERIAL-0042"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // The program writes what the library's edit makes of the same image.
    Bytes want = Load(demo);
    ASSERT_EQ(SetConfigString(want, {0xAE00, 512, 0x0FFE}, "SERIAL-0042", 3), EditResult::kOk);
    EXPECT_EQ(Load(sn), want);
    EXPECT_NE(Tool({"info", sn}).out.find("\"SERIAL-0042\""), std::string::npos);

    r = Tool({"strip", sn, st, "--type", "0x01", "--profile", "ORV6363"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_EQ(RebuildWithoutType(want, {0xAE00, 512, 0x0FFE}, 1), EditResult::kOk);
    EXPECT_EQ(Load(st), want);
    EXPECT_EQ(Tool({"info", st}).out.find("CDescStringManu"), std::string::npos);
}

TEST(OrbiskImage, CrcOfChipModelZeroAreas) {
    TempDir dir;
    // A chip-model-0 area where the 6363 profile keeps its area; strip adds the CRC record.
    const Bytes area = Area(0x55, 0, 0, {Version(0x6961, 1), Identity(1, 2, 3)});
    Save(dir.File("a.rfw"), ImageWith(area, 0xAE00, 0x20000, 0xFF));
    ASSERT_EQ(
        Tool({"strip", dir.File("a.rfw"), dir.File("b.rfw"), "--type", "9", "--profile", "2016"})
            .exit_code,
        0);
    ProgramRun r = Tool({"info", dir.File("b.rfw"), "--json", "--profile", "ORV6363"});
    EXPECT_NE(r.out.find("\"crc_ok\": true"), std::string::npos) << r.out;
    // No built-in profile names chip model 0: the first one with an area at its address is used.
    r = Tool({"info", dir.File("b.rfw"), "--json"});
    EXPECT_NE(r.out.find("\"profile\": \"ORV7339\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"crc_ok\": true"), std::string::npos) << r.out;
    Bytes b = Load(dir.File("b.rfw"));
    b[0xAE00 + 7] ^= 1;
    Save(dir.File("c.rfw"), b);
    r = Tool({"info", dir.File("c.rfw"), "--json", "--profile", "ORV6363"});
    EXPECT_NE(r.out.find("\"crc_ok\": false"), std::string::npos) << r.out;
}

// The memories each chip keeps its firmware in, its usual one first: what `demo --memory`
// offers for it.
struct ProfileMemories {
    const char* profile;
    std::vector<std::string> memories;
    size_t flash_size;  // the length of its serial-flash image
};
const ProfileMemories kProfileMemories[] = {
    {"ORV7771", {"sf", "nor"}, 0x10000},
    {"ORV7391D", {"sf", "nor"}, 0x10000},
    {"ORV7476", {"sf", "nor"}, 0x10000},
    {"ORV7350", {"sf", "nor"}, 0x10000},
    {"ORV6375", {"sf", "nor"}, 0x10000},
    {"ORV6644", {"sf"}, 0x20000},
    {"ORV7937", {"sf", "nor"}, 0x10000},
    {"ORV7464", {"sf", "nor"}, 0x10000},
    {"ORV7339", {"sf", "nor"}, 0x10000},
    {"ORV6521", {"sf"}, 0x20000},
    {"ORV6475", {"sf", "nor"}, 0x10000},
    {"ORV6987", {"eeprom16", "eeprom8", "mtp"}, 0},
    {"ORV7054", {"sf", "nor"}, 0x10000},
    {"ORV7608", {"bridge"}, 0},
    {"ORV6099", {"otp", "eeprom16", "eeprom8", "mtp"}, 0},
    {"ORV7192", {"sf", "nor"}, 0x10000},
    {"ORV6363", {"sf", "nor"}, 0x20000},
    {"ORV7365", {"sf", "nor"}, 0x10000},
    {"ORV7971", {"sf", "nor"}, 0x10000},
};

TEST(OrbiskImage, DemoImagesOfEveryMemoryOfEveryProfile) {
    TempDir dir;
    const std::vector<std::string> all{"sf", "nor", "eeprom8", "eeprom16", "mtp", "otp", "bridge"};
    const std::map<std::string, std::string> info_name{
        {"sf", "flash"}, {"nor", "flash"}, {"eeprom8", "eeprom8"}, {"eeprom16", "eeprom16"},
        {"mtp", "mtp"},  {"otp", "otp"},   {"bridge", "bridge"}};
    for (const ProfileMemories& p : kProfileMemories) {
        SCOPED_TRACE(p.profile);
        const std::string usual = dir.File(std::string(p.profile) + ".rfw");
        ASSERT_EQ(Tool({"demo", usual, "--profile", p.profile}).exit_code, 0);
        for (const std::string& memory : all) {
            SCOPED_TRACE(memory);
            const std::string out = dir.File(std::string(p.profile) + "-" + memory + ".rfw");
            // A bridge's image has no identity to give.
            const bool bridge = memory == "bridge";
            std::vector<std::string> args{"demo",     out,    "--profile", p.profile,
                                          "--memory", memory, "--version", "1234"};
            if (!bridge) args.insert(args.end(), {"--pid", "4321"});
            const ProgramRun r = Tool(args);
            const bool offered =
                std::find(p.memories.begin(), p.memories.end(), memory) != p.memories.end();
            ASSERT_EQ(r.exit_code, offered ? 0 : 1) << r.err;
            if (!offered) continue;
            if (memory == p.memories.front()) {
                EXPECT_EQ(Load(usual).size(), Load(out).size()) << "the usual memory by default";
            }
            // The image says what it is, for the chip it was made for.
            const ProgramRun info = Tool({"info", out, "--profile", p.profile, "--json"});
            ASSERT_EQ(info.exit_code, 0) << info.err;
            EXPECT_NE(info.out.find("\"memory\": \"" + info_name.at(memory) + "\""),
                      std::string::npos)
                << info.out;
            if (!bridge) {
                EXPECT_NE(info.out.find("\"pid\": 17185"), std::string::npos) << info.out;
            }
            EXPECT_NE(info.out.find("\"version\": 4660"), std::string::npos) << info.out;
            // As long as the memory it fills (an OTP image is as long as its records).
            const size_t want = memory == "sf"       ? p.flash_size
                                : memory == "nor"    ? 0x10000
                                : memory == "bridge" ? 0x20000
                                : memory == "otp"    ? Load(out).size()
                                                     : 8192;
            EXPECT_EQ(Load(out).size(), want);
        }
    }
}

// A demo image starts on a simulated camera of its chip: its tag, identity and version are where
// that chip looks for them.
TEST(OrbiskImage, DemoImagesBootOnTheirChips) {
    TempDir dir;
    const std::string sim = ORBISK_TOOLS_DIR "/orbisk-sim";
    struct Boot {
        const char* profile;
        std::vector<std::string> memory;  // options of both tools
    };
    const Boot cases[] = {
        {"ORV6363", {}},
        {"ORV7507", {}},
        {"ORV6644", {}},
        {"ORV6521", {}},
        {"ORV7054", {}},
        {"ORV7192", {}},
        {"ORV7971", {}},
        {"ORV7507", {"--memory", "nor"}},
        {"ORV6099", {"--memory", "otp"}},
    };
    int n = 0;
    for (const Boot& c : cases) {
        SCOPED_TRACE(c.profile);
        const std::string image = dir.File("boot" + std::to_string(n) + ".rfw");
        const std::string camera = dir.File("cam" + std::to_string(n++));
        std::vector<std::string> demo{"demo", image, "--profile", c.profile, "--version", "1234"};
        demo.insert(demo.end(), c.memory.begin(), c.memory.end());
        ASSERT_EQ(Tool(demo).exit_code, 0);
        std::vector<std::string> create{sim,       "create",  camera, "--profile",
                                        c.profile, "--image", image};
        create.insert(create.end(), c.memory.begin(), c.memory.end());
        if (!c.memory.empty() && c.memory.back() == "nor")
            create.insert(create.end(), {"--memory-size", "0x10000"});
        ASSERT_EQ(RunProgram(create, {}).exit_code, 0);
        const std::string shown = RunProgram({sim, "show", camera, "--json"}, {}).out;
        EXPECT_NE(shown.find("\"mode\": \"app\""), std::string::npos) << shown;
        EXPECT_NE(shown.find("\"version\": \"0x00-0000-1234\""), std::string::npos) << shown;
    }
}

TEST(OrbiskImage, RefusalsAndUsage) {
    TempDir dir;
    const std::string demo = dir.File("d.rfw");
    ASSERT_EQ(Tool({"demo", demo}).exit_code, 0);
    Save(dir.File("blank.rfw"), Bytes(0x1000, 0xFF));
    struct Case {
        std::vector<std::string> args;
        int exit_code;
    };
    const Case cases[] = {
        {{"set-string", demo, dir.File("o.rfw"), "--type", "3", "--text", std::string(49, 'x')}, 1},
        {{"info", dir.File("blank.rfw")}, 1},
        {{"info", dir.File("missing.rfw")}, 1},
        {{"info", demo, "--profile", "ORV0000"}, 1},
        {{"info", "@4242"}, 1},
        {{"strip", demo, dir.File("o.rfw"), "--type", "1", "--profile", "ORV6987"}, 1},
        {{"frobnicate"}, 2},
        {{}, 2},
        {{"strip", demo, dir.File("o.rfw")}, 2},
        {{"set-string", demo, dir.File("o.rfw"), "--type", "2", "--text", "x"}, 2},
        {{"demo", dir.File("o.rfw"), "--vid", "0x12345"}, 2},
        {{"demo", dir.File("o.rfw"), "--pid", "xyz"}, 2},
        {{"demo", dir.File("o.rfw"), "--serial", std::string(54, 's')}, 2},
        {{"info", demo, "--bogus", "1"}, 2},
        {{"demo", dir.File("o.rfw"), "--profile", "ORV6644", "--memory", "nor"}, 1},
        {{"demo", dir.File("o.rfw"), "--profile", "ORV6363", "--memory", "otp"}, 1},
        {{"demo", dir.File("o.rfw"), "--memory", "flash"}, 2},
        {{"demo", dir.File("o.rfw"), "--code-size", "4000"}, 2},
    };
    for (const Case& c : cases) {
        const ProgramRun r = Tool(c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.exit_code, c.exit_code) << joined << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << joined;
        if (c.exit_code == 1) {
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
        }
        EXPECT_FALSE(FileExists(dir.File("o.rfw"))) << joined;
    }
}

}  // namespace
}  // namespace orbisk::test
