#include "image/config_edit.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "image/area_fixture.h"
#include "image/config_chain.h"

namespace orbisk::test {
namespace {

constexpr ConfigLayout kLayout{0x100, 0x100, 0xFE};  // tag below the end of the area

// The image as an edit must leave it: bytes before A kept (tag set), the new area, 0xFF up
// to A + S, the rest untouched.
Bytes Expected(const Bytes& before, const Bytes& new_area, const ConfigLayout& l) {
    Bytes img = before;
    std::fill(img.begin() + l.address, img.begin() + l.address + l.size, 0xFF);
    std::copy(new_area.begin(), new_area.end(), img.begin() + l.address);
    if (l.address != 0) {
        img[l.address] = 0x55;
        if (l.tag + 1 < l.address + l.size) {
            img[l.tag] = 0x55;
            img[l.tag + 1] = 0xAA;
        }
    }
    return img;
}

TEST(ConfigEdit, FifteenByteAreaRebuildsToItself) {
    // Old 0x2F carries a stale chip ID: the fresh record takes it from the chip model table.
    const Bytes old = Area(0x30, 22, 2, {Version(0x0000, 0x1234), Rec(0x08, {0x07})});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x05));
    const Bytes want = Area(0x30, 22, 2, {Version(0x6363, 0x1234), Rec(0x08, {0x07})});
    ASSERT_EQ(want.size(), 15u);
    EXPECT_EQ(img, Expected(before, want, kLayout));
}

TEST(ConfigEdit, ZeroVersionBecomes1060AndMissingEepInfoStaysMissing) {
    const Bytes old = Area(0x55, 12, 0, {Version(0x7507, 0), Identity(1, 2, 3)});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x3E));
    EXPECT_EQ(img, Expected(before, Area(0x55, 12, 0, {Version(0x7507, 0x1060), Identity(1, 2, 3)}),
                            kLayout));
}

TEST(ConfigEdit, RemovingTypeOneMovesTheFollowingRecordsForward) {
    const Bytes v = Version(0x6363, 0x1111), e = Rec(0x08, {0x01});
    const Bytes s2 = Str(0x02, "XYZ"), s7 = Str(0x07, "I"), id = Identity(0x2C7E, 0x6363, 0x11);
    const Bytes old = Area(0x55, 22, 0, {v, e, Str(0x01, "AB"), s2, s7, id});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x01));
    const Bytes want = Area(0x55, 22, 0, {v, e, s2, s7, id});
    EXPECT_EQ(want[3], old[3] - 6);  // total lowered by the 6-byte string record
    EXPECT_EQ(want[5], old[5] - 1);
    EXPECT_EQ(img, Expected(before, want, kLayout));
}

TEST(ConfigEdit, CrcRecordCoversTheOldTypeByte) {
    const Bytes stale_crc = Rec(0x1F, {1, 2, 3, 4, 5, 6, 7, 8});
    const Bytes old = Area(
        0x30, 0, 0,
        {Version(0x6961, 0x2222), Rec(0x08, {0}), stale_crc, Identity(0x1234, 0x5678, 0x0100)});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x3E));
    // Old CRC dropped, a fresh one last; its value is taken with the type byte still 0x30.
    Bytes want = Area(0x30, 0, 0,
                      {Version(0x6961, 0x2222), Rec(0x08, {0}), Identity(0x1234, 0x5678, 0x0100),
                       Rec(0x1F, Bytes(8, 0))});
    const uint32_t crc = static_cast<uint32_t>(crc32(0L, want.data(), uInt(want.size() - 10)));
    for (int i = 0; i < 4; ++i) want[want.size() - 8 + i] = uint8_t(crc >> (8 * i));
    ASSERT_EQ(img[kLayout.address], 0x55);
    want[0] = 0x55;
    EXPECT_EQ(Bytes(img.begin() + kLayout.address, img.begin() + kLayout.address + want.size()),
              want);
}

TEST(ConfigEdit, ExtendedRecordKeepsItsFormAndGetsItsNewDataOffset) {
    constexpr ConfigLayout layout{0x100, 0x800, 0xFE};
    Bytes big{0xFF, 0xC0 | 0x27, 0x01, 0x04, 0, 0, 0xF9, 0x03};  // total 1025, 1017 data bytes
    for (int i = 0; i < 1017; ++i) big.push_back(uint8_t(i * 7));
    const size_t old_pos = 6 + 6 + 3 + 6;
    big[4] = uint8_t(old_pos + 8);
    const Bytes old = Area(0x55, 22, 0, {Version(0x6363, 1), Rec(0x08, {0}), Str(0x01, "AB"), big});
    Bytes img = ImageWith(old, layout.address, 0xC00);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, layout, 0x01));
    Bytes moved = big;
    moved[4] = uint8_t(old_pos - 6 + 8);
    EXPECT_EQ(img, Expected(before, Area(0x55, 22, 0, {Version(0x6363, 1), Rec(0x08, {0}), moved}),
                            layout));
}

TEST(ConfigEdit, ExtendedFormIsChosenFromPayloadLength) {
    Bytes out(1100, 0);
    WriteRecordHeader(out, 0x27, 1021 + 4);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xC0 | 0x27);
    EXPECT_EQ(GetLe16(&out[2]), 1025);
    RecordHeader h;
    ASSERT_TRUE(ReadRecordHeader(out, h));
    EXPECT_TRUE(h.extended);
    EXPECT_EQ(h.total_length, 1025u);
}

TEST(ConfigEdit, SetStringReplacesOrAddsAndRefusesFortyNineCharacters) {
    const Bytes v = Version(0x6363, 1), e = Rec(0x08, {0}), id = Identity(1, 2, 3);
    const std::string s48(48, 'S'), s49(49, 'S');
    struct Case {
        const char* name;
        Bytes old_area;
        std::string text;
        EditResult result;
        Bytes new_area;
    };
    const Case cases[] = {
        {"replace", Area(0x55, 22, 0, {v, e, Str(3, "OLD"), id}), "NEW1", EditResult::kOk,
         Area(0x55, 22, 0, {v, e, Str(3, "NEW1"), id})},
        {"add when missing", Area(0x55, 22, 0, {v, e, id}), "NEW1", EditResult::kOk,
         Area(0x55, 22, 0, {v, e, id, Str(3, "NEW1")})},
        {"48 characters", Area(0x55, 22, 0, {v, e, Str(3, "OLD"), id}), s48, EditResult::kOk,
         Area(0x55, 22, 0, {v, e, Str(3, s48), id})},
        {"49 characters replacing",
         Area(0x55, 22, 0, {v, e, Str(3, "OLD"), id}),
         s49,
         EditResult::kStringTooLong,
         {}},
        {"49 characters adding",
         Area(0x55, 22, 0, {v, e, id}),
         s49,
         EditResult::kStringTooLong,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes img = ImageWith(c.old_area, kLayout.address, 0x300);
        const Bytes before = img;
        size_t size = 0;
        ASSERT_EQ(c.result, SetConfigString(img, kLayout, c.text, 3, nullptr, &size));
        if (c.result == EditResult::kOk) {
            EXPECT_EQ(img, Expected(before, c.new_area, kLayout));
            EXPECT_EQ(size, c.new_area.size());
        } else {
            EXPECT_EQ(img, before);
        }
    }
}

TEST(ConfigEdit, SetStringKeepsTheOldCrcRecordBesideTheNewOne) {
    const Bytes old_crc = Rec(0x1F, Bytes(8, 0x11));
    const Bytes old = Area(0x55, 5, 0, {Version(0x6961, 1), old_crc, Str(1, "M")});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    ASSERT_EQ(EditResult::kOk, SetConfigString(img, kLayout, "M2", 1));
    CConfigReader r;
    r.Load(std::span(img).subspan(kLayout.address));
    r.ReadHeader();
    std::vector<uint8_t> types;
    ASSERT_TRUE(r.Walk([&](std::unique_ptr<CDescriptor> d) { types.push_back(d->type); }));
    EXPECT_EQ(types, (std::vector<uint8_t>{0x1F, 0x01, 0x1F}));
}

TEST(ConfigEdit, UnknownAndMalformedRecordsAreCarriedByteForByte) {
    const Bytes unknown = Rec(0x3A, {9, 8, 7});
    // bLength 40 in a 6-byte record: kept as read, never decoded past its end.
    const Bytes bad_string = Rec(0x03, {40, 0x03, 'A', 'B'});
    const Bytes old = Area(0x55, 22, 0, {Version(0x6363, 1), Rec(0x08, {0}), unknown, bad_string});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x01));
    EXPECT_EQ(img, Expected(before, old, kLayout));
}

TEST(ConfigEdit, RefusedEditsLeaveTheImageUnchanged) {
    const Bytes good = Area(0x55, 22, 0, {Version(0x6363, 1), Rec(0x08, {0}), Str(2, "P")});
    // A zero-length record can be neither read nor stepped over while one more is expected.
    Bytes corrupt = Area(0x55, 22, 0, {Version(0x6363, 1), Str(2, "P")});
    corrupt[5] = 3;
    corrupt.insert(corrupt.end(), {0x00, 0x00});
    struct Case {
        const char* name;
        Bytes area;
        ConfigLayout layout;
        size_t image_size;
        EditResult want;
    };
    const Case cases[] = {
        {"corrupted chain", corrupt, kLayout, 0x300, EditResult::kCorrupted},
        {"no magic", Bytes{0x55, 0x00, 0, 0, 0, 0}, kLayout, 0x300, EditResult::kNoArea},
        {"area larger than ConfigSize", good, {0x100, 19, 0xFE}, 0x300, EditResult::kTooLarge},
        {"image shorter than A + S", good, {0x100, 0x400, 0xFE}, 0x300, EditResult::kImageTooShort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes img = ImageWith(c.area, c.layout.address, c.image_size);
        const Bytes before = img;
        EXPECT_EQ(c.want, RebuildWithoutType(img, c.layout, 0x01));
        EXPECT_EQ(c.want, SetConfigString(img, c.layout, "X", 3));
        EXPECT_EQ(img, before);
    }
}

TEST(ConfigEdit, TagOutsideTheAreaRangeIsNotWrittenAndAddressZeroKeepsTheType) {
    const Bytes area = Area(0x30, 22, 0, {Version(0x6363, 1), Rec(0x08, {0})});
    {
        const ConfigLayout beyond{0x100, 0x100, 0x2F0};
        Bytes img = ImageWith(area, beyond.address, 0x300);
        ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, beyond, 0x01));
        EXPECT_EQ(img[0x100], 0x55);
        EXPECT_EQ(img[0x2F0], 0x5A);
        EXPECT_EQ(img[0x2F1], 0x5A);
    }
    {
        const ConfigLayout at_zero{0, 0x100, 0x10};
        Bytes img = ImageWith(area, 0, 0x200);
        ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, at_zero, 0x01));
        EXPECT_EQ(img[0], 0x30);
        EXPECT_EQ(img[0x10], 0xFF);  // inside the area's unused bytes, no tag
    }
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

TEST(ConfigEdit, DataBlobFollowsTheNewChainAndIsCovered) {
    const Bytes blob{0xB0, 0xB1, 0xB2, 0xB3, 0xB4};
    // Old area: 2F, 08, 01, 0F, CRC; the blob after the records at offset 37.
    const Bytes manu = Str(0x01, "AB");
    const Bytes old_info = Rec(0x0F, {37, 0, 5, 0});
    Bytes old = Area(0x55, 0, 0,
                     {Version(0x6961, 1), Rec(0x08, {0}), manu, old_info, Rec(0x1F, Bytes(8, 0))});
    ASSERT_EQ(old.size(), 37u);
    old.insert(old.end(), blob.begin(), blob.end());
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x01));
    // New: 2F, 08, 0F, CRC (31 bytes), then the blob at 31.
    Bytes want = Area(
        0x55, 0, 0,
        {Version(0x6961, 1), Rec(0x08, {0}), Rec(0x0F, {31, 0, 5, 0}), Rec(0x1F, Bytes(8, 0))});
    const uint32_t area_crc = uint32_t(crc32(0L, want.data(), uInt(want.size() - 10)));
    const uint32_t blob_crc = uint32_t(crc32(0L, blob.data(), uInt(blob.size())));
    PutLe32(&want[want.size() - 8], area_crc);
    PutLe32(&want[want.size() - 4], blob_crc);
    want.insert(want.end(), blob.begin(), blob.end());
    EXPECT_EQ(Bytes(img.begin() + kLayout.address, img.begin() + kLayout.address + want.size()),
              want);
    EXPECT_EQ(img[kLayout.address + want.size()], 0xFF);
}

TEST(ConfigEdit, BlobOutsideTheAreaIsNotFollowed) {
    // A 0x0F record pointing past the copied bytes is carried as read.
    const Bytes info = Rec(0x0F, {0xF0, 0xFF, 0x10, 0x00});
    const Bytes old = Area(0x55, 22, 0, {Version(0x6363, 1), Rec(0x08, {0}), info});
    Bytes img = ImageWith(old, kLayout.address, 0x300);
    const Bytes before = img;
    ASSERT_EQ(EditResult::kOk, RebuildWithoutType(img, kLayout, 0x01));
    EXPECT_EQ(img, Expected(before, old, kLayout));
}

// Mutated areas: an edit either succeeds with an area the reader walks, or leaves the image as
// it was. Run under the sanitizers this also shows that no length is trusted.
TEST(ConfigEdit, MutatedAreasNeverBreakTheImage) {
    const Bytes seed = Area(0x55, 0, 0,
                            {Version(0x6961, 1), Rec(0x08, {0}), Str(1, "Maker"),
                             Rec(0x0F, {40, 0, 2, 0}), Identity(1, 2, 3)});
    uint32_t state = 12345;
    auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7FFF; };
    for (int round = 0; round < 600; ++round) {
        Bytes area = seed;
        for (int k = 0, n = 1 + next() % 4; k < n; ++k)
            area[next() % area.size()] = uint8_t(next());
        Bytes img = ImageWith(area, kLayout.address, 0x200 + next() % 0x100, 0x00);
        const Bytes before = img;
        const EditResult r = round % 2 ? RebuildWithoutType(img, kLayout, uint8_t(next() % 64))
                                       : SetConfigString(img, kLayout, "SN", 3);
        if (r != EditResult::kOk) {
            EXPECT_EQ(img, before) << round;
            continue;
        }
        CConfigReader reader;
        reader.Load(std::span(img).subspan(kLayout.address));
        reader.ReadHeader();
        EXPECT_TRUE(reader.Walk([](std::unique_ptr<CDescriptor>) {})) << round;
    }
}

}  // namespace
}  // namespace orbisk::test
