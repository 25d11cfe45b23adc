#include "platform/sysinfo_smbios.h"

#include <gtest/gtest.h>

#include "platform/smbios_fixtures.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::EndOfTable;
using test::FirmwareInfo;
using test::FullBaseBoard;
using test::SmbiosStructureBytes;
using test::SmbiosTableBytes;
using test::SystemInfoWithoutStrings;

TEST(SmbiosTest, BaseBoardAfterStructuresWithEmptyStringSetsIsDecodedWhole) {
    const Bytes table =
        SmbiosTableBytes({SystemInfoWithoutStrings(), FirmwareInfo(), SystemInfoWithoutStrings(),
                          FullBaseBoard(), EndOfTable()});
    const auto board = FindBaseBoard(table);
    ASSERT_TRUE(board.has_value());
    EXPECT_EQ(board->type, 2);
    EXPECT_EQ(board->length, 19);
    EXPECT_EQ(board->handle, 0x0002);
    EXPECT_EQ(board->manufacturer, "Maker Inc.");
    EXPECT_EQ(board->product, "Board X1");
    EXPECT_EQ(board->version, "Rev 1.02");
    EXPECT_EQ(board->serial_number, "SN-0042");
    EXPECT_EQ(board->asset_tag, "Tag 7");
    EXPECT_EQ(board->location, "Slot A");
    EXPECT_EQ(board->feature_flags, 0x09);
    EXPECT_EQ(board->chassis_handle, 0x0003);
    EXPECT_EQ(board->board_type, 0x0A);
    EXPECT_EQ(board->contained_handle_count, 2);
    EXPECT_EQ(board->contained_handles, (std::vector<uint16_t>{0x0010, 0x0011}));
}

TEST(SmbiosTest, BaseBoardFieldsAndStrings) {
    struct Case {
        const char* name;
        Bytes structure;
        std::optional<std::string> product;
        std::optional<std::string> serial_number;
        std::vector<uint16_t> handles;
    };
    const Case cases[] = {
        {"product string number 0", FullBaseBoard(0), std::nullopt, "SN-0042", {0x10, 0x11}},
        {"product number beyond the set", FullBaseBoard(9), std::nullopt, "SN-0042", {0x10, 0x11}},
        // Early tables end the structure after the serial number.
        {"short structure",
         SmbiosStructureBytes(2, 5, {1, 2, 0, 3}, {"M", "P", "S"}),
         "P",
         "S",
         {}},
        // The count promises three handles, the formatted area holds one.
        {"handle count past the area",
         SmbiosStructureBytes(2, 5, {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0x20, 0x00}, {"M", "P"}),
         "P",
         std::nullopt,
         {0x20}},
        {"empty string set",
         SmbiosStructureBytes(2, 5, {1, 2, 3, 4}, {}),
         std::nullopt,
         std::nullopt,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto board = FindBaseBoard(SmbiosTableBytes({FirmwareInfo(), c.structure}));
        ASSERT_TRUE(board.has_value());
        EXPECT_EQ(board->product, c.product);
        EXPECT_EQ(board->serial_number, c.serial_number);
        EXPECT_EQ(board->contained_handles, c.handles);
    }
}

TEST(SmbiosTest, WalkEndsWithoutABaseBoard) {
    struct Case {
        const char* name;
        Bytes table;
    };
    const Case cases[] = {
        {"empty table", {}},
        {"no type 2", SmbiosTableBytes({FirmwareInfo(), SystemInfoWithoutStrings()})},
        {"base board after the end-of-table structure",
         SmbiosTableBytes({FirmwareInfo(), EndOfTable(), FullBaseBoard()})},
        {"formatted length below 4", SmbiosTableBytes({Bytes{1, 3, 0, 0, 0, 0}, FullBaseBoard()})},
        {"formatted length 0", SmbiosTableBytes({Bytes{1, 0, 0, 0, 0, 0}, FullBaseBoard()})},
        // A length of 200 runs the first structure over the base board and past the end.
        {"formatted area past the end",
         SmbiosTableBytes({Bytes{1, 200, 0, 0, 0, 0}, FullBaseBoard()})},
        {"string set without its closing zeros", Bytes{2, 5, 0, 0, 1, 'B', 'o', 'a', 'r', 'd'}},
        {"text without its zero", Bytes{2, 5, 0, 0, 1, 'B', 'o', 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(FindBaseBoard(c.table).has_value());
    }
}

// Every cut of a good table: the base board is found exactly when its string set is whole, and
// each cut lies in a buffer of its own size, so the sanitizer sees any read past it.
TEST(SmbiosTest, TruncatedTablesEndTheWalkInsideTheBytes) {
    const Bytes before = SmbiosTableBytes({FirmwareInfo(), SystemInfoWithoutStrings()});
    const Bytes full = SmbiosTableBytes({before, FullBaseBoard(), EndOfTable()});
    const size_t board_end = before.size() + FullBaseBoard().size();
    for (size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const auto board = FindBaseBoard(cut);
        EXPECT_EQ(board.has_value(), n >= board_end) << "cut at " << n;
        if (board) {
            EXPECT_EQ(board->product, "Board X1");
        }
    }
}

TEST(SmbiosTest, WalkerYieldsEachStructureWithItsStrings) {
    const Bytes table = SmbiosTableBytes(
        {FirmwareInfo(), SystemInfoWithoutStrings(), FullBaseBoard(), EndOfTable()});
    SmbiosWalker walker(table);
    std::vector<std::pair<uint8_t, uint16_t>> seen;
    std::optional<SmbiosStructure> first;
    while (auto s = walker.Next()) {
        if (!first) first = s;
        seen.emplace_back(s->type, s->handle);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<uint8_t, uint16_t>>{{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_FALSE(walker.Next().has_value());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->String(1), "Vendor");
    EXPECT_EQ(first->String(3), "01/02/2024");
    EXPECT_EQ(first->String(4), std::nullopt);
    EXPECT_EQ(first->Byte(5), 2);
    EXPECT_EQ(first->Byte(10), 0);  // past the formatted area
    EXPECT_EQ(first->Word(9), 0);   // only one of its two bytes inside
}

Bytes WithChecksum(Bytes entry, size_t checksum_at) {
    uint8_t sum = 0;
    for (uint8_t b : entry) sum = static_cast<uint8_t>(sum + b);
    entry[checksum_at] = static_cast<uint8_t>(entry[checksum_at] - sum);
    return entry;
}

TEST(SmbiosTest, EntryPointVersions) {
    Bytes sm3{'_', 'S', 'M', '3', '_', 0, 0x18, 3, 3, 0, 1, 0};
    sm3.resize(0x18);
    sm3 = WithChecksum(sm3, 5);
    Bytes sm{'_', 'S', 'M', '_', 0, 0x1F, 2, 8};
    sm.resize(0x1F);
    sm = WithChecksum(sm, 4);
    Bytes dmi{'_', 'D', 'M', 'I', '_', 0, 0x40, 0x01, 0, 0, 0x0F, 0, 0x20, 0, 0x21};
    dmi = WithChecksum(dmi, 5);
    Bytes bad_sum = sm3;
    bad_sum[8] ^= 1;
    Bytes long_length = sm3;
    long_length[6] = 0x40;  // claims more bytes than given
    long_length = WithChecksum(long_length, 5);

    struct Case {
        const char* name;
        Bytes entry;
        bool ok;
        uint8_t major, minor;
    };
    const Case cases[] = {
        {"64-bit", sm3, true, 3, 3},
        {"32-bit", sm, true, 2, 8},
        {"legacy BCD revision", dmi, true, 2, 1},
        {"checksum wrong", bad_sum, false, 0, 0},
        {"length past the bytes", long_length, false, 0, 0},
        {"anchor cut", Bytes{'_', 'S', 'M'}, false, 0, 0},
        {"anchor alone", Bytes{'_', 'S', 'M', '3', '_'}, false, 0, 0},
        {"unknown anchor", Bytes(31, 0), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t major = 0, minor = 0;
        EXPECT_EQ(ParseSmbiosEntryPoint(c.entry, &major, &minor), c.ok);
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
    }
}

}  // namespace
}  // namespace orbisk
