// The OTP table arithmetic over bytes: entries, records, placement, the fail report, the space
// figures and the split of an image into its parts.
#include "device/otp_tables.h"

#include <gtest/gtest.h>

#include "device/otp_parts.h"
#include "device/otp_rig.h"

namespace orbisk::otp {
namespace {

VdTable Table(std::initializer_list<std::pair<int, VdEntry>> entries) {
    VdTable vd{};
    for (const auto& [i, e] : entries) vd[i] = e;
    return vd;
}

TEST(OtpTablesTest, EccBudgetNeverWrapsBelowZero) {
    struct Case {
        unsigned virtual_records, sub, expected;
    } cases[] = {{5, 0, 5}, {12, 0, 8}, {12, 6, 2}, {3, 8, 0}, {16, 9, 0}, {16, 15, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ExecEccNum(c.virtual_records, c.sub), c.expected)
            << c.virtual_records << " " << c.sub;
}

TEST(OtpTablesTest, AFailReportListsAtMostNineAddresses) {
    std::array<uint8_t, kReportSize> bytes{};
    bytes[0] = 12;
    for (unsigned i = 0; i < 9; ++i) bytes[2 + 2 * i] = static_cast<uint8_t>(i + 1);
    const FailReport report = ParseFailReport(bytes);
    EXPECT_EQ(report.count, 12u);
    ASSERT_EQ(report.addresses.size(), 9u);
    EXPECT_EQ(report.addresses.back(), 9u);
    bytes[0] = 2;
    EXPECT_EQ(ParseFailReport(bytes).addresses, (std::vector<uint16_t>{1, 2}));
}

TEST(OtpTablesTest, ThePreviousBlockIsTheFurthestRangeAnyTrustedEntryNames) {
    EccTable ecc{};
    // Empty: no previous block.
    EXPECT_FALSE(PreviousBlockEntry(VdTable{}, ecc).has_value());
    // A killed entry (all bits set) and a patched free entry made dead name no range; a dead
    // block does.
    const VdTable vd = Table({{0, {0x0000, 0x0400, kFlagDead}},
                              {1, {0x0400, 0x0100, kFlagConfig}},
                              {2, {0xFFFF, 0xFFFF, 0xFF}},
                              {3, {0x0500, 0x0300, kFlagCode}},
                              {4, {0x0000, 0x0000, kFlagDead}}});
    EXPECT_EQ(PreviousBlockEntry(vd, ecc), 3);
    // An entry an active record lies on is not trusted.
    ecc[0] = {static_cast<uint16_t>(VdEntryAddress(3) + 2), 0x12, kEccActive};
    EXPECT_EQ(PatchingRecord(ecc, 3), 1);
    EXPECT_EQ(PreviousBlockEntry(vd, ecc), 1);
    EXPECT_EQ(FirstFreeEntry(vd, ecc), 5);
    EXPECT_EQ(PreSelBlock(vd, ecc), 4);
    EXPECT_EQ(LatestBlockOfKind(vd, ecc, kFlagCode), -1);
    EXPECT_EQ(LatestBlockOfKind(vd, ecc, kFlagConfig), 1);
}

TEST(OtpTablesTest, EccCountsAndTheRecordARepairUses) {
    EccTable ecc{};
    ecc[0] = {0x0010, 0x33, kEccActive};  // below the block: an old record
    ecc[1] = {0x0120, 0x00, kEccActive};  // reserved inside the block
    ecc[2] = {0x0900, 0x00, kEccActive};  // reserved behind it
    ecc[3] = {0x0130, 0x44, 0xFF};        // dead
    // ecc[4..15] blank: twelve
    const EccCounts c = CountEcc(ecc, 0x0100, 0x0100);
    EXPECT_EQ(c.actual, 7u);
    EXPECT_EQ(c.old_records, std::vector<int>{1});
    EXPECT_EQ(c.virtual_, 13u);
    EXPECT_EQ(c.sub, 1u);
    EXPECT_EQ(ReservedInBlock(ecc, 0x0100, 0x0100), std::vector<int>{2});
    // A record reserved for the byte wins over the first blank one.
    EXPECT_EQ(RecordForRepair(ecc, 0x0120), 2);
    EXPECT_EQ(RecordForRepair(ecc, 0x0121), 5);
    for (auto& r : ecc) r.flag = 0xFF;
    EXPECT_EQ(RecordForRepair(ecc, 0x0121), 0);
}

TEST(OtpTablesTest, TheEccViewAppliesActiveRecordsInOrder) {
    EccTable ecc{};
    ecc[0] = {0x0101, 0x11, kEccActive};
    ecc[1] = {0x0101, 0x22, kEccActive};
    ecc[2] = {0x0102, 0x33, 0xFF};
    ecc[3] = {0x0200, 0x44, kEccActive};
    std::vector<uint8_t> block(4, 0xA0);
    ApplyEcc(ecc, 0x0100, block);
    EXPECT_EQ(block, (std::vector<uint8_t>{0xA0, 0x22, 0xA0, 0xA0}));
    EXPECT_EQ(ChangeBinaryData(0xF0, 0x18), 0xE0);
}

TEST(OtpTablesTest, AnAbnormalRunIsEightNonZeroBytes) {
    std::vector<uint8_t> bytes(32, 0);
    std::fill(bytes.begin() + 3, bytes.begin() + 10, 1);
    EXPECT_FALSE(FindAbnormalRun(bytes, 0x100).has_value());
    bytes[10] = 1;
    EXPECT_EQ(FindAbnormalRun(bytes, 0x100), 0x103u);
}

TEST(OtpTablesTest, SpaceFiguresAndTexts) {
    const VdTable vd = Table({{0, {0x0000, 0x0C00, kFlagDead}}, {1, {0x0C00, 0x0200, 0xFB}}});
    const SpaceFacts facts = ReadSpace(vd, EccTable{});
    EXPECT_EQ(facts.used, 0x0E00u);
    EXPECT_EQ(facts.free_entries, 14);
    EXPECT_EQ(SpaceText(facts, 0), "Used OTP Space: 3.50 KB, Remain OTP Space: 12.34 KB.");
    EXPECT_EQ(SpaceText(facts, 3000),
              "Used OTP Space: 3.50 KB Free OTP Space: 12.34 KB Remaining Programmable Times: 4.");
    // The question thresholds: 5,121 free bytes pass, 5,120 do not.
    EXPECT_FALSE(FreeBytes(kDataEnd - 5121) < kLowSpaceBytes);
    EXPECT_TRUE(FreeBytes(kDataEnd - 5120) < kLowSpaceBytes);
}

TEST(OtpPartsTest, AnImageSplitsIntoCodeAndConfigurationAndJoinsBack) {
    const std::vector<uint8_t> image = test::OtpImage(0x1060, 1000);
    const auto parts = SplitImage(image);
    ASSERT_TRUE(parts && parts->code && parts->config);
    const std::vector<uint8_t>& code = *parts->code;
    EXPECT_EQ(code.size(), 15u + 1008u);
    EXPECT_EQ(code[2], 19 * 8 + 3);
    EXPECT_EQ(code[3] | code[4] << 8, static_cast<int>(code.size()));
    EXPECT_EQ(code[5], 3);
    const std::vector<uint8_t>& config = *parts->config;
    EXPECT_EQ(config.size(), image.size() - 1008);
    EXPECT_EQ(config[2], 19 * 8 + 1);
    EXPECT_EQ(config[5], image[5] - 1);
    EXPECT_EQ(CombineParts(parts->code, parts->config), image);
    EXPECT_EQ(CombineParts(parts->code, std::nullopt), code);
    EXPECT_TRUE(CombineParts(std::nullopt, std::nullopt).empty());
}

TEST(OtpPartsTest, ImagesThatCannotBeSplit) {
    std::vector<uint8_t> image = test::OtpImage(0x1060, 1000);
    std::vector<uint8_t> no_magic = image;
    no_magic[1] = 0;
    std::vector<uint8_t> too_long = image;
    too_long[4] = 0x7F;
    std::vector<uint8_t> no_eep = image;
    no_eep[13] = 0x09;  // the 0x08 record's type
    for (const auto* bad : {&no_magic, &too_long, &no_eep}) {
        std::string why;
        EXPECT_FALSE(SplitImage(*bad, &why).has_value());
        EXPECT_FALSE(why.empty());
    }
    // Without a code record the whole chain is the configuration part.
    std::vector<uint8_t> plain = image;
    plain[16] = 0xC0 | 0x26;
    const auto parts = SplitImage(plain);
    ASSERT_TRUE(parts.has_value());
    EXPECT_FALSE(parts->code.has_value());
    EXPECT_EQ(*parts->config, plain);
}

}  // namespace
}  // namespace orbisk::otp
