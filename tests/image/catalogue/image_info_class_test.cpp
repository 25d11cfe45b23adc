// orbisk-image names the catalogue class of every record it lists.
#include <gtest/gtest.h>

#include <string>

#include "image/catalogue/chain_fixtures.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

TEST(OrbiskImageClasses, InfoNamesTheCatalogueClassOfEachRecord) {
    // A chip-model-2 area at the ConfigAddress of its profile (ORV7476, 0xE800).
    ChainPair c;
    c.in = Bytes(6);
    c.Add({6, 0x2F, 0x76, 0x74, 0x60, 0x10});
    c.Add({3, 0x08, 0x00});
    c.Add({4, 0x05, 0x11, 0x22});  // CDescSysConfig_7476
    c.Add({5, 0x3D, 1, 2, 3});     // CDescIspGamma_7476
    c.Add({5, 0x30, 1, 2, 3});     // no class on this chip
    Bytes cache = Ext(0x27, 10);
    cache.insert(cache.end(), {0, 0, 2, 0, 0xAB, 0xCD});
    Put16(cache, 4, c.pos_in() + 8);
    c.Add(cache);  // CDescSmallCachecode
    const Bytes h = AreaHeader(2, 0x55, c.in.size(), c.count);
    std::copy(h.begin(), h.end(), c.in.begin());
    Bytes image(0x10000, 0xFF);
    std::copy(c.in.begin(), c.in.end(), image.begin() + 0xE800);

    TempDir dir;
    WriteFile(dir.File("c.rfw"), std::string(image.begin(), image.end()));
    const ProgramRun r = RunProgram({ORBISK_TOOLS_DIR "/orbisk-image", "info", dir.File("c.rfw"),
                                     "--json", "--profile", "ORV7476"},
                                    {});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const char* want : {"\"type\": 5, \"length\": 4, \"class\": \"CDescSysConfig_7476\"",
                             "\"type\": 61, \"length\": 5, \"class\": \"CDescIspGamma_7476\"",
                             "\"type\": 48, \"length\": 5, \"class\": \"CDescDummy\"",
                             "\"type\": 39, \"length\": 10, \"class\": \"CDescSmallCachecode\""})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
}

}  // namespace
}  // namespace orbisk::test
