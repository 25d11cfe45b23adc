#include "catalogue/ic_type_ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/process.h"
#include "image/config_chain.h"
#include "image/resources.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

struct Fixture {
    Fixture(int source = 0, std::string folder = ".") {
        process.profile_source = source;
        process.program_folder = std::move(folder);
    }
    VirtualClock clock;
    Logger logger{clock, nullptr};
    Process process{clock, logger};
};

const char kProfileText[] =
    "[Orbisk Config]\r\nIc Name=ORV9999\r\nBus Type=MIPI\r\n"
    "[Camera_Register_03]\r\nICRegister1=0x1234\r\nICRegister2=0x56\r\nChipInfo=0x107\r\n"
    "[Vendor Info M1]\r\nConfigAddress=0x8000\r\nConfigSize=512\r\nTagAddress=0x7FFE\r\n";

// The values every built-in profile must carry, as the chip table gives them.
struct Row {
    const char* ic_name;
    uint8_t reg1, reg2, chip_info;
    int32_t bus;
    uint32_t address, size, tag;
};
constexpr Row kRows[19] = {
    {"ORV7507", 0x00, 0xD0, 12, 0, 0xEE00, 512, 0xEFFE},
    {"ORV7391D", 0x00, 0x40, 6, 0, 0xF000, 512, 0xFFEE},
    {"ORV7476", 0x00, 0x50, 2, 0, 0xE800, 512, 0xEFEE},
    {"ORV7350", 0x00, 0xA0, 8, 0, 0xE800, 512, 0xEFEE},
    {"ORV6375", 0x00, 0xB0, 9, 0, 0xE800, 512, 0xEFEE},
    {"ORV6644", 0x00, 0x60, 10, 0, 0x18000, 512, 0x17FEE},
    {"ORV6783", 0x00, 0xC0, 11, 0, 0xEE00, 512, 0xEFEE},
    {"ORV7464", 0x00, 0xE0, 13, 0, 0xEE00, 512, 0xEFFE},
    {"ORV7339", 0x10, 0x00, 14, 0, 0xAE00, 512, 0xEFFE},
    {"ORV6521", 0x10, 0x10, 15, 0, 0xAE00, 512, 0x1EFFE},
    {"ORV6475", 0x10, 0x30, 16, 0, 0xAE00, 512, 0x0FFE},
    {"ORV6987", 0x00, 0x30, 3, 0, 0x0000, 8192, 0x0000},
    {"ORV7054", 0x10, 0x60, 18, 0, 0xAE00, 512, 0x0FFE},
    {"ORV7608", 0xFF, 0xFF, 255, 2, 0, 0, 0},
    {"ORV6099", 0x10, 0x80, 19, 0, 0x0000, 8192, 0x0000},
    {"ORV7192", 0x10, 0x90, 20, 0, 0xAE00, 512, 0x0FFE},
    {"ORV6363", 0x10, 0xC0, 22, 0, 0xAE00, 512, 0x0FFE},
    {"ORV7365", 0x10, 0xA0, 23, 0, 0xAE00, 512, 0x0FFE},
    {"ORV7971", 0x20, 0x00, 25, 0, 0xAE00, 512, 0x0FFE},
};

TEST(ChipProfiles, EveryBuiltInProfileCarriesItsTableValuesAndDefaultArea) {
    Fixture f;
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ASSERT_EQ(ini.ProfileCount(), 19);
    EXPECT_EQ(ini.profile_files[6], "ORV7937/6783/6924.ini");
    for (int i = 0; i < 19; ++i) {
        const Row& r = kRows[i];
        SCOPED_TRACE(r.ic_name);
        ASSERT_TRUE(ini.MatchProfileByIndex(i, r.reg1, r.reg2));
        EXPECT_EQ(ini.chip_info, r.chip_info);
        f.process.bus_type = 1;
        ini.ApplyProfile();
        EXPECT_EQ(ini.chip_name, r.ic_name);
        EXPECT_EQ(f.process.bus_type, r.bus);
        const ConfigLayout l = ini.ReadConfigLayout();
        EXPECT_EQ(l.address, r.address);
        EXPECT_EQ(l.size, r.size);
        EXPECT_EQ(l.tag, r.tag);
        EXPECT_EQ(ini.ReadConfigSize(), static_cast<int32_t>(r.size));
        // The default configuration area it names is carried and belongs to its chip.
        const int def = DefBinResource(ini.GetValue(kConfigSection, "Def Bin"));
        ASSERT_NE(def, 0);
        const auto area = FindResource(kResourceBinary, def);
        CDescGlobal h;
        ASSERT_TRUE(h.Parse(area));
        EXPECT_TRUE(h.valid());
        EXPECT_EQ(h.chip_model, r.chip_info & 0x1F);
        EXPECT_EQ(h.total_length, 15);
    }
}

TEST(ChipProfiles, BuiltInDefaultIsResource2000WhateverFilesLieInTheFolder) {
    TempDir dir;
    WriteFile(dir.File("X.INI"), kProfileText);
    Fixture f(0, dir.path());
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ini.SelectDefaultProfile();
    ini.ApplyProfile();
    EXPECT_EQ(ini.chip_name, "ORV7507");
    EXPECT_TRUE(ini.MatchChip(0x00, 0xD0));
    EXPECT_EQ(ini.chip_info, 12);
}

TEST(ChipProfiles, FileModeListsProfilesButNotConfigIni) {
    TempDir dir;
    WriteFile(dir.File("cam.INI"), kProfileText);
    WriteFile(dir.File("Config.ini"), "[Orbisk Config]\r\nIni Type=1\r\n");
    WriteFile(dir.File("notes.txt"), "x");
    ::mkdir(dir.File("folder.ini").c_str(), 0755);
    Fixture f(1, dir.path());
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    EXPECT_EQ(ini.profile_files, std::vector<std::string>{"cam.INI"});
    ini.SelectDefaultProfile();
    EXPECT_EQ(ini.profile_name, "cam.INI");
    ini.ApplyProfile();
    EXPECT_EQ(ini.chip_name, "ORV9999");
    EXPECT_EQ(f.process.bus_type, 2);
    // Low bytes of the register values and of ChipInfo; sections other than 00 are searched.
    EXPECT_TRUE(ini.MatchChip(0x34, 0x56));
    EXPECT_EQ(ini.chip_info, 0x07);
    EXPECT_EQ(ini.ReadVendorValue("ConfigAddress"), 0x8000);
    EXPECT_FALSE(ini.MatchProfileByIndex(1, 0x34, 0x56));  // past the end of the list
}

TEST(ChipProfiles, FileModeWithoutProfilesLoadsNothing) {
    TempDir dir;
    Fixture f(1, dir.path());
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ini.SelectDefaultProfile();
    EXPECT_EQ(ini.profile_name, "");
    EXPECT_EQ(ini.SectionCount(), 0);
    EXPECT_FALSE(ini.MatchAnyProfile(0x00, 0xD0));
}

TEST(ChipProfiles, MatchAnyFindsTheSecondRegisterSection) {
    Fixture f;
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ASSERT_TRUE(ini.MatchAnyProfile(0x10, 0x10));
    ini.ApplyProfile();
    EXPECT_EQ(ini.chip_name, "ORV6521");
    EXPECT_EQ(ini.chip_info, 15);
    EXPECT_EQ(ini.register1, 0x10);
    ASSERT_TRUE(ini.MatchAnyProfile(0x00, 0xF0));
    ini.ApplyProfile();
    EXPECT_EQ(ini.chip_name, "ORV7464");
    EXPECT_FALSE(ini.MatchAnyProfile(0x77, 0x77));
    EXPECT_EQ(ini.SectionCount(), 0);
}

TEST(ChipProfiles, BusTypeNamesCompareExactly) {
    TempDir dir;
    std::string text = kProfileText;
    text.replace(text.find("MIPI"), 4, "mipi");
    WriteFile(dir.File("cam.ini"), text);
    Fixture f(1, dir.path());
    f.process.bus_type = 0;
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ini.SelectDefaultProfile();
    ini.ApplyProfile();
    EXPECT_EQ(f.process.bus_type, 0);
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(ChipProfiles, FileModeDefaultKeepsAListedNameElseTakesTheFirst) {
    TempDir dir;
    std::string b = kProfileText;
    b.replace(b.find("ORV9999"), 7, "ORV8888");
    WriteFile(dir.File("a.ini"), kProfileText);
    WriteFile(dir.File("b.ini"), b);
    Fixture f(1, dir.path());
    CICTypeIni ini(f.process);
    ini.BuildProfileList();
    ASSERT_EQ(ini.profile_files.size(), 2u);
    ini.profile_name = "b.ini";
    ini.SelectDefaultProfile();
    ini.ApplyProfile();
    EXPECT_EQ(ini.profile_name, "b.ini");
    EXPECT_EQ(ini.chip_name, "ORV8888");
    ini.profile_name = "B.INI";  // names compare exactly
    ini.SelectDefaultProfile();
    EXPECT_EQ(ini.profile_name, ini.profile_files.front());
}

}  // namespace
}  // namespace orbisk::test
