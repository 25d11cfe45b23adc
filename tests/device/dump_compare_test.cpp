#include "device/dump_compare.h"

#include <gtest/gtest.h>

#include <vector>

namespace orbisk {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
    return b;
}

// One row: an image, a read-back made from it by `mutate`, and the verdict.
struct Case {
    const char* name;
    uint8_t chip_model;
    size_t length;
    DumpCheckFlags flags;
    void (*mutate)(Bytes& image, Bytes& readback);
    bool equal;
};

void Sign(Bytes& b, size_t p) {
    b[p + 0x3E] = 0x55;
    b[p + 0x3F] = 0xAA;
}

const Case kCases[] = {
    {"identical", 8, 0x10000, {}, [](Bytes&, Bytes&) {}, true},
    {"one byte differs", 8, 0x10000, {}, [](Bytes&, Bytes& r) { r[0x1234] ^= 1; }, false},
    {"patch bytes blanked with signature and flag",
     8,
     0x10000,
     {.code_signature = true},
     [](Bytes& i, Bytes& r) {
         std::fill(i.begin() + 0xF022, i.begin() + 0xF03E, 0xFF);
         Sign(i, 0xF000), Sign(r, 0xF000);
         r[0xF022] = 0x12, r[0xF03D] = 0x34;
     },
     true},
    {"patch bytes compared without the flag",
     8,
     0x10000,
     {},
     [](Bytes& i, Bytes& r) {
         std::fill(i.begin() + 0xF022, i.begin() + 0xF03E, 0xFF);
         Sign(i, 0xF000), Sign(r, 0xF000);
         r[0xF022] = 0x12;
     },
     false},
    {"second code blanks 0xF025..0xF03F whatever the signature",
     8,
     0x10000,
     {.code_signature = true, .second_code = true},
     [](Bytes& i, Bytes& r) {
         std::fill(i.begin() + 0xF025, i.begin() + 0xF040, 0xFF);
         r[0xF025] = 0, r[0xF03F] = 0;
     },
     true},
    {"remove write-back without signature compares 0xF000 bytes",
     8,
     0x10000,
     {.remove_write_back = true},
     [](Bytes&, Bytes& r) { r[0xF000] ^= 1; },
     true},
    {"remove write-back with signature compares 0x10000 bytes",
     8,
     0x10000,
     {.remove_write_back = true, .code_signature = true},
     [](Bytes&, Bytes& r) { r[0xFFFF] ^= 1; },
     false},
    {"model 6 skips only 0xE03F", 6, 0x10000, {}, [](Bytes&, Bytes& r) { r[0xE03F] ^= 1; }, true},
    {"model 6 compares 0xE03E", 6, 0x10000, {}, [](Bytes&, Bytes& r) { r[0xE03E] ^= 1; }, false},
    {"model 6 compares from 0xE040",
     6,
     0x10000,
     {},
     [](Bytes&, Bytes& r) { r[0xE040] ^= 1; },
     false},
    {"model 6 with remove write-back skips the patch block",
     6,
     0x10000,
     {.remove_write_back = true},
     [](Bytes&, Bytes& r) { r[0xE000] ^= 1, r[0xE03F] ^= 1; },
     true},
    {"model 10 compares 0x20000",
     10,
     0x20000,
     {},
     [](Bytes&, Bytes& r) { r[0x1FFFF] ^= 1; },
     false},
    {"model 15 with remove write-back stops at 0x1F000",
     15,
     0x20000,
     {.remove_write_back = true},
     [](Bytes&, Bytes& r) { r[0x1F000] ^= 1; },
     true},
    {"model 18 short read is group A",
     18,
     0x10000,
     {},
     [](Bytes&, Bytes& r) { r[0xFFFF] ^= 1; },
     false},
    {"other models compare 0xF000", 1, 0x10000, {}, [](Bytes&, Bytes& r) { r[0xF000] ^= 1; }, true},
    {"image shorter than the compare length fails",
     8,
     0x10000,
     {},
     [](Bytes& i, Bytes&) { i.resize(0x8000); },
     false},
};

TEST(DumpCompareTest, ComparisonByChipModelGroup) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes image = Pattern(c.length);
        Bytes readback = image;
        c.mutate(image, readback);
        readback.resize(c.length);
        BlankIgnoredBytes(readback, c.chip_model, c.flags, {});
        EXPECT_EQ(CompareDump(image, readback, c.chip_model, c.flags, {}), c.equal);
    }
}

// An EEPROM configuration area with records at the given offsets.
Bytes EepromArea(const std::vector<ChainRecord>& records, uint8_t fill) {
    Bytes area = Pattern(0x2000);
    for (const ChainRecord& r : records) {
        area[r.offset] = static_cast<uint8_t>(r.length);
        area[r.offset + 1] = r.type;
        std::fill_n(area.begin() + r.offset + 2, r.length - 2, fill);
    }
    return area;
}

TEST(DumpCompareTest, WriteBackRegionOfEepromParts) {
    const std::vector<ChainRecord> one = {{0x20, 4, 8}, {0x40, 9, 10}};
    Bytes image = EepromArea(one, 0xFF);
    WriteBackRegion region = LocateWriteBackRegion(3, image, one);
    EXPECT_TRUE(region.flag);
    EXPECT_EQ(region.start, 0x42u);
    EXPECT_EQ(region.length, 8u);

    // The firmware filled the region: those bytes are ignored, all others compared.
    Bytes readback = image;
    readback[0x42] = 0x01;
    Bytes filled = readback;
    BlankIgnoredBytes(readback, 3, {}, region);
    EXPECT_TRUE(CompareDump(image, readback, 3, {}, region));
    readback[0x4A] ^= 1;
    EXPECT_FALSE(CompareDump(image, readback, 3, {}, region));
    readback[0x4A] ^= 1;
    readback[0x41] ^= 1;
    EXPECT_FALSE(CompareDump(image, readback, 3, {}, region));

    // A region holding non-0xFF bytes clears the flag: only the first 0x2000 bytes count.
    region = LocateWriteBackRegion(3, filled, one);
    EXPECT_FALSE(region.flag);
    EXPECT_EQ(DumpCompareLength(3, 0x4000, {}, region), 0x2000u);

    // Without a type-9 record the whole image is compared.
    region = LocateWriteBackRegion(19, image, {{0x20, 4, 8}});
    EXPECT_TRUE(region.flag);
    EXPECT_EQ(region.start, 0u);
    Bytes changed = image;
    changed.back() ^= 1;
    EXPECT_FALSE(CompareDump(image, changed, 19, {}, region));

    // Model 19: records with a zero flag byte are passed over; a flagged one of length 67 gives
    // the 64 bytes after the flag.
    const std::vector<ChainRecord> two = {{0x40, 9, 20}, {0x80, 9, 67}};
    Bytes area = EepromArea(two, 0xFF);
    area[0x42] = 0x00;
    area[0x82] = 0x01;
    region = LocateWriteBackRegion(19, area, two);
    EXPECT_TRUE(region.flag);
    EXPECT_EQ(region.start, 0x83u);
    EXPECT_EQ(region.length, 64u);

    // A record reaching past the data is not examined.
    region = LocateWriteBackRegion(3, Bytes(0x44, 0xFF), one);
    EXPECT_EQ(region.length, 0u);
}

TEST(DumpCompareTest, BridgeComparisonLength) {
    Bytes image = Pattern(0x21000);
    Bytes readback = image;
    readback[0x2000] ^= 1;
    EXPECT_TRUE(CompareBridgeDump(image, readback, 3));  // (3 - 1) * 4096 bytes
    EXPECT_FALSE(CompareBridgeDump(image, readback, 4));
    EXPECT_FALSE(CompareBridgeDump(image, readback, 0));
    EXPECT_FALSE(CompareBridgeDump(Bytes(100), Bytes(100), 0));  // too short for 0x20000
}

}  // namespace
}  // namespace orbisk

namespace orbisk {
namespace {

TEST(DumpCompareTest, WalkFindsRecordOffsetsOfARealArea) {
    // Header, 0x2F, 0x08, then a string (type 1, 6 bytes) and a type-9 record of 10 bytes.
    Bytes area = {0x11, 0xA5, 3 << 3, 0,    0,    4,  // total filled in below
                  6,    0x2F, 0x87,   0x69, 0x60, 0x10, 3,    0x08, 0x00, 6,    0x01, 4,   3,
                  'A',  'B',  10,     0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    area[3] = static_cast<uint8_t>(area.size());
    area.resize(0x2000, 0xFF);
    const std::vector<ChainRecord> records = WalkChainRecords(area);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].offset, 15u);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(records[1].offset, 21u);
    EXPECT_EQ(records[1].type, 9);
    EXPECT_EQ(records[1].length, 10u);
    const WriteBackRegion region = LocateWriteBackRegion(3, area, records);
    EXPECT_TRUE(region.flag);
    EXPECT_EQ(region.start, 23u);
    EXPECT_EQ(region.length, 8u);
}

}  // namespace
}  // namespace orbisk
