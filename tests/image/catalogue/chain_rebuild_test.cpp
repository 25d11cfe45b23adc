// Whole chains through the rebuild: one record of every class of a chip model, and the cases
// where the catalogue changes the chain (records left out, reset, moved, kept raw).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "image/catalogue/chain_fixtures.h"
#include "image/catalogue/desc_catalogue.h"
#include "image/config_chain.h"
#include "image/config_edit.h"

namespace orbisk {
namespace {

using namespace orbisk::test;
constexpr ConfigLayout kLayout{0x100, 0x3000, 0xFE};

Bytes ImageWith(const Bytes& area) {
    Bytes image(kLayout.address + kLayout.size + 0x100, 0xFF);
    std::iota(image.begin(), image.begin() + kLayout.address, 0);
    std::copy(area.begin(), area.end(), image.begin() + kLayout.address);
    return image;
}

TEST(ChainRebuild, OneRecordOfEveryClassOfEachChipModel) {
    for (uint8_t chip = 0; chip < 32; ++chip) {
        SCOPED_TRACE("chip model " + std::to_string(chip));
        const EveryClassArea area = BuildEveryClassArea(chip);
        Bytes image = ImageWith(area.in);
        ASSERT_EQ(RebuildWithoutType(image, kLayout, 0x00), EditResult::kOk);
        Bytes want = ImageWith(area.out);
        want[0xFE] = 0x55;  // the tag, below the end of the area
        want[0xFF] = 0xAA;
        ASSERT_EQ(image.size(), want.size());
        const auto diff = std::mismatch(image.begin(), image.end(), want.begin());
        EXPECT_EQ(diff.first, image.end())
            << "first difference at area offset "
            << (diff.first - image.begin()) - static_cast<long>(kLayout.address);
    }
}

// An area of `chip` with 0x2F, 0x08 and `records` (type byte 0x55, so only the chain changes),
// closed by a CRC record on chip models 0 and 5 when `crc` is set.
Bytes Area(uint8_t chip, const std::vector<Bytes>& records, bool crc = false) {
    crc = crc && (chip == 0 || chip == 5);
    Bytes area = AreaHeader(chip, 0x55, 0, static_cast<int>(records.size()) + 2 + crc);
    const uint16_t id = ChipIdForModel(chip);
    area.insert(area.end(), {6, 0x2F, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0x60,
                             0x10, 3, 0x08, 0x01});
    for (const Bytes& r : records) area.insert(area.end(), r.begin(), r.end());
    Put16(area, 3, area.size() + (crc ? 10 : 0));
    if (crc) {
        const uLong v = crc32(0, area.data(), static_cast<uInt>(area.size()));
        area.insert(area.end(),
                    {10, 0x1F, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                     static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24), 0, 0, 0, 0});
    }
    return area;
}

Bytes Plain(uint8_t type, size_t total, uint8_t seed = 0x20) {
    Bytes r = Header(type, total);
    Bytes p = Counting(total - 2, seed);
    r.insert(r.end(), p.begin(), p.end());
    return r;
}

// Rebuilds an image holding `area` and gives back the area's first `n` bytes.
Bytes Rebuilt(const Bytes& area, size_t n) {
    Bytes image = ImageWith(area);
    EXPECT_EQ(RebuildWithoutType(image, kLayout, 0x00), EditResult::kOk);
    return Bytes(image.begin() + kLayout.address, image.begin() + kLayout.address + n);
}

TEST(ChainRebuild, RecordsTheCatalogueChanges) {
    Bytes big = Ext(0x13, 2004);
    const Bytes data = Counting(2000, 0);
    big.insert(big.end(), data.begin(), data.end());
    Bytes cache = Ext(0x27, 28);
    cache.insert(cache.end(), {0, 0, 20, 0});
    const Bytes cache_data = Counting(20, 0x70);
    cache.insert(cache.end(), cache_data.begin(), cache_data.end());
    Bytes cache_at = cache;  // offset of its data as written in an area with 0x2F, 0x08 first
    Put16(cache_at, 4, 15 + 8);
    struct Case {
        const char* name;
        uint8_t chip;
        std::vector<Bytes> in, out;
    } cases[] = {
        {"a CCM_6973 of 20 bytes is left out",
         1,
         {Plain(0x33, 20), Plain(0x3F, 16)},
         {Plain(0x3F, 16)}},
        {"records chip model 22 does not know keep their length",
         22,
         {Plain(0x05, 9), Plain(0x33, 20), Plain(0x04, 8)},
         {Plain(0x05, 9), Plain(0x33, 20), Plain(0x04, 8)}},
        {"a SysConfig shorter than its layout is carried as read",
         0,
         {Plain(0x05, 7), Plain(0x3D, 10)},
         {Plain(0x05, 7), Plain(0x3D, 10)}},
        {"an extended VendorRegSetting_7391H is read and kept whole",
         5,
         {big, Plain(0x3D, 10)},
         {big, Plain(0x3D, 10)}},
        {"0x27 data found inside the record moves with it", 2, {cache_at}, {cache_at}},
        {"0x27 whose offset points elsewhere is carried as read", 2, {cache}, {cache_at}},
        {"the audio 0x1F record of chip model 17 stays", 17, {Plain(0x1F, 12)}, {Plain(0x1F, 12)}},
        {"a stray 0x1F of chip model 3 stays", 3, {Plain(0x1F, 10)}, {Plain(0x1F, 10)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes want = Area(c.chip, c.out, true);
        EXPECT_EQ(Rebuilt(Area(c.chip, c.in), want.size()), want);
    }
}

}  // namespace
}  // namespace orbisk
