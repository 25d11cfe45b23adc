// Walks the catalogue tables: every class is described once, consistently, and every
// (chip model, type) key has exactly one class.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/catalogue/desc_catalogue.h"

namespace orbisk {
namespace {

bool IsChainShape(DescShape s) {
    return s == DescShape::kString || s == DescShape::kVidPid || s == DescShape::kCodeInfo ||
           s == DescShape::kCrc;
}

TEST(CatalogueSelfCheck, EveryClassIsDescribedOnceAndConsistently) {
    std::set<std::string_view> names;
    for (const DescClassInfo* info : AllDescClasses()) {
        SCOPED_TRACE(std::string(info->name));
        EXPECT_TRUE(names.insert(info->name).second) << "described twice";
        EXPECT_TRUE(info->name.starts_with("CDesc"));
        EXPECT_LE(info->type, 0x3F);
        EXPECT_GE(info->min_length, 2);
        EXPECT_LE(info->min_length, info->max_length);
        if (info->shape == DescShape::kFixed) {
            EXPECT_EQ(info->min_length, info->max_length);
            EXPECT_GE(info->max_length, 3);
            EXPECT_LE(info->max_length, 1022);
        } else {
            EXPECT_TRUE(info->rules.empty()) << "byte rules only apply to fixed layouts";
        }
        const bool extended_shape = info->shape == DescShape::kCfgExtended ||
                                    info->shape == DescShape::kSmallCachecode ||
                                    info->shape == DescShape::kSmallCachecodeTwoTables;
        if (!info->extended_form && !extended_shape) {
            EXPECT_LE(info->max_length, 1022);
        }
        if (extended_shape) {
            EXPECT_TRUE(info->type == 0x27 || info->type == 0x1A);
        }
        int last = 1;
        for (const ByteRule& r : info->rules) {
            EXPECT_GT(r.offset, last) << "rules in record order, inside the payload";
            EXPECT_LT(r.offset, info->max_length);
            if (r.op == ByteOp::kSignMagnitudeHigh) {
                EXPECT_EQ(r.offset % 2, 1) << "a high byte follows its low byte";
            }
            last = r.offset;
        }
    }
}

TEST(CatalogueSelfCheck, TablesNameDescribedClassesUnderTheirTypes) {
    const std::set<const DescClassInfo*> described(AllDescClasses().begin(),
                                                   AllDescClasses().end());
    std::set<const DescClassInfo*> used;
    std::set<uint8_t> common_types;
    for (const CatalogueEntry& e : CommonCatalogue()) {
        EXPECT_TRUE(described.count(e.info)) << e.info->name;
        EXPECT_TRUE(common_types.insert(e.type).second) << "common type twice";
        EXPECT_EQ(e.type, e.info->type) << e.info->name;
        used.insert(e.info);
    }
    for (uint8_t chip = 0; chip < kCatalogueChipModels; ++chip) {
        std::set<uint8_t> types;
        for (const CatalogueEntry& e : ChipCatalogue(chip)) {
            SCOPED_TRACE("chip " + std::to_string(chip) + " " + std::string(e.info->name));
            EXPECT_TRUE(described.count(e.info));
            EXPECT_TRUE(types.insert(e.type).second) << "duplicate (chip, type) key";
            EXPECT_FALSE(common_types.count(e.type)) << "hidden behind a common type";
            EXPECT_FALSE(IsChainShape(e.info->shape) && e.info->shape != DescShape::kCrc);
            // Each class has one type code; chip model 6 lists CDescDmicPara under 0x19.
            if (chip == 6 && e.info->name == "CDescDmicPara") {
                EXPECT_EQ(e.type, 0x19);
            } else {
                EXPECT_EQ(e.type, e.info->type);
            }
            used.insert(e.info);
        }
    }
    EXPECT_EQ(used, described) << "a described class no table uses";
}

TEST(CatalogueSelfCheck, CreationFollowsTheTables) {
    for (uint8_t chip = 0; chip < 32; ++chip) {
        for (uint8_t type = 0; type < 64; ++type) {
            const CatalogueEntry* e = FindCatalogueEntry(chip, type);
            auto d = CreateDescriptor(chip, type);
            ASSERT_NE(d, nullptr);
            SCOPED_TRACE("chip " + std::to_string(chip) + " type " + std::to_string(type));
            if (chip >= 26) {
                EXPECT_EQ(e, nullptr);
            }
            EXPECT_EQ(DescriptorClassName(*d), e ? e->info->name : "CDescDummy");
            if (e != nullptr) {
                EXPECT_EQ(d->type, type);
            }
        }
    }
    // The table rows that differ from chip to chip.
    const std::map<std::pair<int, int>, std::string_view> spot = {
        {{22, 0x04}, "CDescVIDPID"},
        {{22, 0x05}, "CDescDummy"},
        {{26, 0x01}, "CDescDummy"},
        {{31, 0x04}, "CDescDummy"},
        {{0, 0x1F}, "CDescCRC"},
        {{5, 0x1F}, "CDescCRC"},
        {{2, 0x1F}, "CDescDummy"},
        {{17, 0x1F}, "CDescI2SCodecCloseOutSetting"},
        {{17, 0x2F}, "CDescEndPointType"},
        {{17, 0x08}, "CDescI2S0_7308"},
        {{9, 0x3B}, "CDescIspZoom_7391X"},
        {{0, 0x3B}, "CDescIspZoom"},
        {{7, 0x27}, "CDescSmallCachecode_7584"},
        {{24, 0x27}, "CDescSmallCachecode"},
        {{6, 0x19}, "CDescDmicPara"},
        {{8, 0x19}, "CDescDmicPara_7476"},
        {{13, 0x12}, "CDescNonCrystalGainTable"},
        {{25, 0x21}, "CDescFrameRate"},
    };
    for (const auto& [key, name] : spot)
        EXPECT_EQ(DescriptorClassName(*CreateDescriptor(key.first, key.second)), name)
            << "chip " << key.first << " type " << key.second;
}

TEST(CatalogueSelfCheck, CrcAndExtendedRecordsByChip) {
    for (uint8_t chip = 0; chip < 32; ++chip)
        EXPECT_EQ(IsCrcRecord(chip, 0x1F), chip == 0 || chip == 5) << int(chip);
    EXPECT_TRUE(UsesExtendedForm(22, 0x27));
    EXPECT_TRUE(UsesExtendedForm(5, 0x13));   // CDescVendorRegSetting_7391H
    EXPECT_FALSE(UsesExtendedForm(0, 0x13));  // CDescVendorRegSetting: at most 1022 bytes
    EXPECT_TRUE(UsesExtendedForm(1, 0x16));
    EXPECT_TRUE(UsesExtendedForm(8, 0x38));
    EXPECT_FALSE(UsesExtendedForm(6, 0x38));
}

}  // namespace
}  // namespace orbisk

namespace orbisk {
namespace {

const DescClassInfo* InfoNamed(std::string_view name) {
    for (const DescClassInfo* info : AllDescClasses())
        if (info->name == name) return info;
    return nullptr;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) {
        const auto b = cur.find_first_not_of(' '), e = cur.find_last_not_of(' ');
        if (b != std::string::npos) out.push_back(cur.substr(b, e - b + 1));
    }
    return out;
}

// The tables against an independent listing of the catalogue (tests/data).
TEST(CatalogueSelfCheck, TablesMatchTheReferenceListing) {
    std::ifstream file(ORBISK_TEST_DATA "/descriptor_catalogue.txt");
    ASSERT_TRUE(file) << "reference listing missing";
    std::set<int> chips_listed;
    int rows = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(" : ");
        ASSERT_NE(colon, std::string::npos) << line;
        const std::string key = line.substr(0, colon), body = line.substr(colon + 3);
        ++rows;
        if (key == "common" || key.starts_with("chip ")) {
            std::set<std::pair<int, std::string>> want;
            for (const std::string& item : Split(body, ';')) {
                const auto sp = item.find(' ');
                want.insert({std::stoi(item.substr(0, sp), nullptr, 16), item.substr(sp + 1)});
            }
            auto have_of = [](std::span<const CatalogueEntry> t) {
                std::set<std::pair<int, std::string>> have;
                for (const CatalogueEntry& e : t) have.insert({e.type, std::string(e.info->name)});
                return have;
            };
            if (key == "common") {
                EXPECT_EQ(have_of(CommonCatalogue()), want);
                continue;
            }
            for (const std::string& chip : Split(key.substr(5), ',')) {
                chips_listed.insert(std::stoi(chip));
                EXPECT_EQ(have_of(ChipCatalogue(static_cast<uint8_t>(std::stoi(chip)))), want)
                    << "chip model " << chip;
            }
        } else if (key == "fixed") {
            for (const std::string& item : Split(body, ';')) {
                const auto sp = item.find(' ');
                const std::string name = item.substr(0, sp);
                const DescClassInfo* info = InfoNamed(name);
                ASSERT_NE(info, nullptr) << name;
                EXPECT_EQ(info->shape == DescShape::kFixed || info->shape == DescShape::kVidPid,
                          true)
                    << name;
                EXPECT_EQ(info->max_length, std::stoi(item.substr(sp + 1))) << name;
            }
        } else if (key.starts_with("variable ")) {
            const auto dots = body.find("..");
            const int lo = std::stoi(body.substr(0, dots)), hi = std::stoi(body.substr(dots + 2));
            std::vector<std::string> names = Split(key.substr(9), ',');
            if (names == std::vector<std::string>{"(strings)"})
                names = {"CDescStringManu",      "CDescStringProd", "CDescStringSN",
                         "CDescStringUBistName", "CDescStringIAD",  "CDescStringIRIAD"};
            for (const std::string& name : names) {
                const DescClassInfo* info = InfoNamed(name);
                ASSERT_NE(info, nullptr) << name;
                EXPECT_EQ(info->min_length, lo) << name;
                EXPECT_EQ(info->max_length, hi) << name;
                EXPECT_EQ(info->extended_form, hi > 1022) << name;
            }
        }
    }
    EXPECT_GT(rows, 30);
    for (int chip = 0; chip < kCatalogueChipModels; ++chip)
        EXPECT_TRUE(chips_listed.count(chip)) << "no reference row for chip model " << chip;
    for (int chip = kCatalogueChipModels; chip < 32; ++chip)
        EXPECT_TRUE(ChipCatalogue(static_cast<uint8_t>(chip)).empty());
}

}  // namespace
}  // namespace orbisk
