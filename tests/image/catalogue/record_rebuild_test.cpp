// Record in, record out: what each class of the catalogue writes back when a chain is rebuilt.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "image/catalogue/desc_catalogue.h"
#include "image/catalogue/desc_shapes.h"

namespace orbisk {
namespace {

using Bytes = std::vector<uint8_t>;

// A plain record of `type` with the given payload.
Bytes Rec(uint8_t type, Bytes payload) {
    Bytes r(2);
    const size_t total = payload.size() + 2;
    r[0] = static_cast<uint8_t>(total);
    r[1] = static_cast<uint8_t>(((total >> 8) & 3) << 6 | type);
    r.insert(r.end(), payload.begin(), payload.end());
    return r;
}
// A record of `total` bytes whose payload counts up from `first`.
Bytes Counting(uint8_t type, size_t total, uint8_t first = 0x40) {
    Bytes p(total - 2);
    std::iota(p.begin(), p.end(), first);
    return Rec(type, p);
}
// An extended record (length field 1023, bytes 2..3 the total) with the given bytes from 4.
Bytes Ext(uint8_t type, Bytes from4) {
    Bytes r = {0xFF, static_cast<uint8_t>(0xC0 | type), 0, 0};
    r.insert(r.end(), from4.begin(), from4.end());
    r[2] = static_cast<uint8_t>(r.size());
    r[3] = static_cast<uint8_t>(r.size() >> 8);
    return r;
}
Bytes With(Bytes r, std::initializer_list<std::pair<size_t, uint8_t>> changes) {
    for (auto [at, v] : changes) r[at] = v;
    return r;
}
Bytes Cut(const Bytes& r, size_t total) {
    Bytes out(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(total));
    out[0] = static_cast<uint8_t>(total);
    out[1] = static_cast<uint8_t>((r[1] & 0x3F) | ((total >> 8) & 3) << 6);
    return out;
}

enum class Outcome { kRebuilt, kRaw, kRefused };

struct RecordCase {
    const char* name;
    uint8_t chip;
    Bytes in;
    Outcome outcome;
    Bytes out;  // kRebuilt: the record written back
};

// Reads `in` as the chain reader does (the object for its type and chip, parse) and builds it.
void Check(const RecordCase& c) {
    SCOPED_TRACE(c.name);
    auto d = CreateDescriptor(c.chip, c.in[1] & 0x3F);
    const int parsed = d->Parse(c.in);
    if (c.outcome == Outcome::kRefused) {
        EXPECT_EQ(parsed, 0);
        return;
    }
    ASSERT_EQ(parsed, 1);
    EXPECT_EQ(d->malformed, c.outcome == Outcome::kRaw);
    if (c.outcome == Outcome::kRaw) {
        // The reader carries the record by its raw bytes; catalogue classes also build them.
        EXPECT_EQ(d->raw(), c.in);
        if (dynamic_cast<CDescCatalogued*>(d.get()) == nullptr) return;
    }
    Bytes out(0x2000, 0xEE);
    ASSERT_EQ(d->Build(out), 1);
    const Bytes& want = c.outcome == Outcome::kRaw ? c.in : c.out;
    out.resize(want.size());
    EXPECT_EQ(out, want);
    if (c.outcome == Outcome::kRebuilt) {
        EXPECT_EQ(d->WireLength(), want.size());
    }
}

TEST(RecordRebuild, FixedLayoutsKeepTheirLengthAndDefinedBits) {
    const Bytes sys = Counting(0x05, 12);
    const Bytes ccm = Rec(0x33, {0x00, 0x08, 0x05, 0x0A, 0x05, 0xFA, 0x00, 0x0B, 0x10, 0x04, 0x01,
                                 0x00, 0x02, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0x31, 0x32, 0x33});
    const Bytes ccm_out =
        Rec(0x33, {0x00, 0x00, 0x05, 0x0A, 0x05, 0x0A, 0x00, 0x0B, 0x10, 0x00, 0x01,
                   0x00, 0x02, 0x00, 0x03, 0x00, 0xFF, 0x0B, 0x31, 0x32, 0x33});
    const Bytes aec = With(Counting(0x36, 31), {{11, 0x00}, {29, 0x80}});
    const Bytes nf = With(Counting(0x17, 86), {{2, 0x3F}, {3, 0x80}, {4, 0x00}, {5, 0x00}});
    const Bytes gain = With(Counting(0x12, 42), {{2, 0xBF}, {3, 0xC0}, {4, 0x00}, {5, 0x01}});
    const RecordCase cases[] = {
        {"SysConfig drops bits of bytes 9 and 10", 0, With(sys, {{9, 0xFF}, {10, 0xFF}}),
         Outcome::kRebuilt, With(sys, {{9, 0x8F}, {10, 0xCF}})},
        {"SysConfig longer than 12 comes back as 12", 0, Counting(0x05, 20), Outcome::kRebuilt,
         With(Cut(Counting(0x05, 20), 12), {{9, 0x47 & 0x8F}})},
        {"SysConfig shorter than its layout is kept raw", 0, Counting(0x05, 9), Outcome::kRaw, {}},
        {"CCM_7391X: negative zero becomes zero, bits outside 0x0B dropped", 2, ccm,
         Outcome::kRebuilt, ccm_out},
        {"SSC_7476 sets bit 3 of byte 4", 2, With(Counting(0x18, 10), {{3, 0xFF}, {4, 0x00}}),
         Outcome::kRebuilt, With(Counting(0x18, 10), {{3, 0x7F}, {4, 0x08}})},
        {"SSC_7476 byte 4 keeps 0x73", 8, With(Counting(0x18, 10), {{4, 0xFF}}), Outcome::kRebuilt,
         With(Counting(0x18, 10), {{4, 0x7B}})},
        {"AEC_7476 bytes 11 and 29 as flags", 6, aec, Outcome::kRebuilt,
         With(aec, {{11, 0}, {29, 1}})},
        {"UvcControlAttribute_7391H masks", 5,
         With(Counting(0x22, 104), {{2, 0xFF}, {3, 0xFF}, {4, 0xFF}, {5, 0xFF}}), Outcome::kRebuilt,
         With(Counting(0x22, 104), {{2, 0x0E}, {3, 0x2A}, {4, 0xFF}, {5, 0x37}})},
        {"IspControl masks", 0, Rec(0x31, {0xFF, 0xFF}), Outcome::kRebuilt,
         Rec(0x31, {0xF8, 0xD4})},
        {"SensorPowerControl_6961H mask", 5, With(Counting(0x15, 8), {{2, 0xFF}}),
         Outcome::kRebuilt, With(Counting(0x15, 8), {{2, 0xF3}})},
        {"DmicPara_7476 masks", 2, With(Counting(0x19, 12), {{8, 0xFF}, {9, 0xFF}}),
         Outcome::kRebuilt, With(Counting(0x19, 12), {{8, 0x10}, {9, 0xC0}})},
        {"NFCalibrationTable floats kept byte for byte", 0, nf, Outcome::kRebuilt, nf},
        {"NonCrystalGainTable floats kept byte for byte", 22, gain, Outcome::kRebuilt, gain},
        {"FrameRate of a chip without own types", 25, Counting(0x21, 38), Outcome::kRebuilt,
         Counting(0x21, 38)},
        {"DmicPara keeps 0x19 on chip model 6", 6, Counting(0x19, 7), Outcome::kRebuilt,
         Counting(0x19, 7)},
        {"DmicPara is 0x20 elsewhere", 3, Counting(0x20, 9), Outcome::kRebuilt,
         Cut(Counting(0x20, 9), 7)},
        {"audio 0x1F of chip model 17 is a codec setting", 17, Counting(0x1F, 30),
         Outcome::kRebuilt, Counting(0x1F, 30)},
        {"EndPointType is 0x2F on chip model 17", 17, Counting(0x2F, 18), Outcome::kRebuilt,
         Counting(0x2F, 18)},
    };
    for (const auto& c : cases) Check(c);
}

TEST(RecordRebuild, VariableLayoutsKeepPayloadWithinCapacity) {
    const RecordCase cases[] = {
        {"gamma with 15 data bytes", 0, Counting(0x3D, 17), Outcome::kRebuilt, Counting(0x3D, 17)},
        {"gamma above its capacity is kept raw", 0, Counting(0x3D, 18), Outcome::kRaw, {}},
        {"gamma_7476 holds 16", 2, Counting(0x3D, 18), Outcome::kRebuilt, Counting(0x3D, 18)},
        {"zoom_7391X is written as 0x3B", 9, Counting(0x3B, 98), Outcome::kRebuilt,
         Counting(0x3B, 98)},
        {"zoom_7391X above 98", 9, Counting(0x3B, 99), Outcome::kRaw, {}},
        {"VendorRegSetting of 40 bytes", 0, Counting(0x13, 40), Outcome::kRebuilt,
         Counting(0x13, 40)},
        {"VendorRegSetting below its prefix", 0, Counting(0x13, 4), Outcome::kRaw, {}},
        {"Qtable of 130", 5, Counting(0x24, 130), Outcome::kRebuilt, Counting(0x24, 130)},
        {"DeadPixel of 135", 0, Counting(0x39, 135), Outcome::kRebuilt, Counting(0x39, 135)},
        {"codec setting of 4", 17, Rec(0x1B, {0x12, 0x34}), Outcome::kRebuilt,
         Rec(0x1B, {0x12, 0x34})},
        {"FWVariable of 2", 8, Rec(0x38, {}), Outcome::kRebuilt, Rec(0x38, {})},
        {"VendorRegSetting_7391H of 1022", 5, Counting(0x13, 1022), Outcome::kRebuilt,
         Counting(0x13, 1022)},
    };
    for (const auto& c : cases) Check(c);
}

TEST(RecordRebuild, ExtendedVariableRecordsKeepTheExtendedForm) {
    Bytes data(2000);
    std::iota(data.begin(), data.end(), 0);
    const Bytes big = Ext(0x13, data);
    Check({"VendorRegSetting_7391H of 2004 bytes", 5, big, Outcome::kRebuilt, big});
    // Bytes 2..3 must tell the length the record was read with.
    Check({"extended length that disagrees", 5, With(big, {{3, 0x09}}), Outcome::kRaw, {}});
}

TEST(RecordRebuild, PatchWriteBackRecordsAreReset) {
    const Bytes ff30 = With(Bytes(30, 0xFF), {{0, 30}, {1, 0x09}});
    Bytes zero = {8, 0x09, 5, 0, 0, 0, 0, 0};
    Bytes zero16 = {0x0A, 0x09, 0x06, 0x00, 0, 0, 0, 0, 0, 0};
    Bytes flag = Rec(0x09, {0x01});
    flag.resize(67, 0xFF);
    flag[0] = 67;
    const RecordCase cases[] = {
        {"PPWriteBack keeps the length, payload 0xFF", 2, Counting(0x09, 30), Outcome::kRebuilt,
         ff30},
        {"PPWriteBack above 255 bytes is kept raw", 3, Counting(0x09, 256), Outcome::kRaw, {}},
        {"PPWriteBack_7584", 7, Counting(0x09, 30), Outcome::kRebuilt, ff30},
        {"WriteBack: N then N zero bytes", 0, With(Counting(0x09, 12), {{2, 5}}), Outcome::kRebuilt,
         zero},
        {"WriteBack_7391H: M then M zero bytes", 5, With(Counting(0x09, 5), {{2, 6}, {3, 0}}),
         Outcome::kRebuilt, zero16},
        {"WriteBack_7391H with M beyond a plain record",
         5,
         With(Counting(0x09, 5), {{2, 0xFF}, {3, 0x03}}),
         Outcome::kRaw,
         {}},
        {"PPWriteBack_6099 flag set", 19, Rec(0x09, {0x01, 0x22}), Outcome::kRebuilt, flag},
        {"PPWriteBack_6099 flag clear", 19, Counting(0x09, 40, 0), Outcome::kRebuilt,
         Rec(0x09, {0x00})},
        {"WriteBack without its count", 0, Rec(0x09, {}), Outcome::kRaw, {}},
    };
    for (const auto& c : cases) Check(c);
}

TEST(RecordRebuild, ClassesWithSeveralForms) {
    const RecordCase cases[] = {
        {"CCM_6973 of 14", 1, Counting(0x33, 14), Outcome::kRebuilt, Counting(0x33, 14)},
        {"CCM_6973 of 30", 3, Counting(0x33, 30), Outcome::kRebuilt, Counting(0x33, 30)},
        {"CCM_6973 of 20 is refused", 7, Counting(0x33, 20), Outcome::kRefused, {}},
        {"NoiseReduction_6973 of 20 comes back as 13", 1, Counting(0x38, 20), Outcome::kRebuilt,
         Cut(Counting(0x38, 20), 13)},
        {"NoiseReduction_6973 of 44 whole", 3, Counting(0x38, 44), Outcome::kRebuilt,
         Counting(0x38, 44)},
        {"NoiseReduction_6973 of 30 comes back as 24", 7, Counting(0x38, 30), Outcome::kRebuilt,
         Cut(Counting(0x38, 30), 24)},
        {"NoiseReduction_6973 shorter than 13", 1, Counting(0x38, 12), Outcome::kRaw, {}},
        {"MICArray: N + 3 whatever the length read", 2, With(Counting(0x1B, 20), {{3, 5}}),
         Outcome::kRebuilt, Cut(With(Counting(0x1B, 20), {{3, 5}}), 8)},
        {"MICArray N = 63", 6, With(Counting(0x1B, 66), {{3, 63}}), Outcome::kRebuilt,
         With(Counting(0x1B, 66), {{3, 63}})},
        {"MICArray N = 0", 6, With(Counting(0x1B, 8), {{3, 0}}), Outcome::kRaw, {}},
        {"MICArray N = 64", 10, With(Counting(0x1B, 70), {{3, 64}}), Outcome::kRaw, {}},
        {"MICArray N past the record", 8, With(Counting(0x1B, 8), {{3, 6}}), Outcome::kRaw, {}},
    };
    for (const auto& c : cases) Check(c);
}

TEST(RecordRebuild, ExtendedRecords) {
    Bytes data(1017);
    std::iota(data.begin(), data.end(), 3);
    Bytes small_cache = {0x00, 0x01};  // data offset (the builder rewrites it)
    small_cache.push_back(static_cast<uint8_t>(data.size()));
    small_cache.push_back(static_cast<uint8_t>(data.size() >> 8));
    small_cache.insert(small_cache.end(), data.begin(), data.end());
    const Bytes cache = Ext(0x27, small_cache);
    ASSERT_EQ(cache.size(), 1025u);

    Bytes first(92, 0x5A);
    Bytes one_table = {0x10, 0x00, 0xFF, 0xFF};
    one_table.insert(one_table.end(), first.begin(), first.end());
    const Bytes two_in = Ext(0x27, [] {
        Bytes b = {0x10, 0x00, 0x20, 0x00};  // F = 0x10, S = 0x20: a 16-byte first table
        for (int i = 0; i < 16 + 12; ++i) b.push_back(static_cast<uint8_t>(i));
        return b;
    }());
    Bytes two_out = two_in;
    std::fill(two_out.begin() + 8 + 16, two_out.end(), 0xFF);

    const Bytes cfg = Ext(0x1A, {0x03, 0x00, 0xA1, 0xA2, 0xA3});
    const RecordCase cases[] = {
        {"SmallCachecode of 1017 data bytes", 22, cache, Outcome::kRebuilt, cache},
        {"SmallCachecode data past the record", 1, With(cache, {{7, 0x04}}), Outcome::kRaw, {}},
        {"SmallCachecode total below 8",
         19,
         With(Ext(0x27, {0, 0, 0, 0}), {{2, 7}}),
         Outcome::kRaw,
         {}},
        {"Cachecode_7584 without a second table", 7, Ext(0x27, one_table), Outcome::kRebuilt,
         Ext(0x27, one_table)},
        {"Cachecode_7584 second table written erased", 7, two_in, Outcome::kRebuilt, two_out},
        {"Cachecode_7584 second offset below the first",
         7,
         With(two_in, {{6, 0x08}}),
         Outcome::kRaw,
         {}},
        {"CFG_7476 as read", 2, cfg, Outcome::kRebuilt, cfg},
        {"CFG_7476 data past the record", 19, With(cfg, {{4, 0x04}}), Outcome::kRaw, {}},
        {"CFG_7476 in the plain form comes back extended", 3, Rec(0x1A, {9, 0, 1, 0, 0x77}),
         Outcome::kRebuilt, Ext(0x1A, {0x01, 0x00, 0x77})},
    };
    for (const auto& c : cases) Check(c);

    auto d = CreateDescriptor(7, 0x27);
    ASSERT_EQ(d->Parse(Ext(0x27, one_table)), 1);
    EXPECT_EQ(d->sub_kind, 5);
    EXPECT_EQ(d->inline_length, 92);
    EXPECT_FALSE(d->has_second_table);
}

TEST(RecordRebuild, StringsWithinTheirCapacity) {
    Bytes s55 = Rec(0x02, {55, 0x03});
    for (int i = 0; i < 53; ++i) s55.push_back(static_cast<uint8_t>('a' + i % 26));
    s55[0] = static_cast<uint8_t>(s55.size());
    Bytes s56 = s55;
    s56.push_back('z');
    s56[0] = static_cast<uint8_t>(s56.size());
    s56[2] = 56;
    Check({"bLength 55", 22, s55, Outcome::kRebuilt, s55});
    Check({"bLength 56", 22, s56, Outcome::kRaw, {}});
    Check({"bLength 1", 22, Rec(0x01, {1, 3, 'x'}), Outcome::kRaw, {}});
}

TEST(RecordRebuild, VendorRegSetting6987ReportsItsValue) {
    auto d = CreateDescriptor(3, 0x16);
    ASSERT_EQ(d->Parse(Rec(0x16, {0x01, 0x02, 0x34, 0x12, 0x99})), 1);
    EXPECT_EQ(d->HookValue(), 0x1234);
    EXPECT_EQ(CreateDescriptor(3, 0x11)->HookValue(), 0);
}

TEST(RecordRebuild, BuildIsRefusedWithoutRoomOrRecord) {
    auto d = CreateDescriptor(0, 0x05);
    Bytes out(64);
    EXPECT_EQ(d->Build(out), 0) << "nothing parsed";
    ASSERT_EQ(d->Parse(Counting(0x05, 12)), 1);
    EXPECT_EQ(d->Build(std::span(out).first(11)), 0);
    EXPECT_EQ(d->Build(std::span(out).first(12)), 1);
    EXPECT_EQ(CreateDescriptor(1, 0x27)->Build(out), 0) << "0x27 without data";
}

}  // namespace
}  // namespace orbisk
