// End-to-end runs of the built orbisk-image program.
#include <gtest/gtest.h>

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
