#include "platform/sysinfo.h"

#include <gtest/gtest.h>

#include "platform/smbios_fixtures.h"
#include "platform/sysinfo_fixed.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

using test::Bytes;

TEST(SystemInfoTest, KernelReleases) {
    struct Case {
        const char* release;
        std::optional<OsVersion> version;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", OsVersion{6, 1}},
        {"5.10\n", OsVersion{5, 10}},
        {"2.6.32-754.el6.x86_64", OsVersion{2, 6}},
        {"6", std::nullopt},
        {"6.", std::nullopt},
        {"v6.1", std::nullopt},
        {"", std::nullopt},
        {"12345678901.1", std::nullopt},  // more digits than a version has
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.release);
        EXPECT_EQ(ParseKernelRelease(c.release), c.version);
    }
}

TEST(SystemInfoTest, VersionChecksAndWow64) {
    struct Case {
        std::optional<OsVersion> version;
        std::optional<bool> wow64;
        OsVersion seen;
        bool vista, windows10, is_wow64;
    };
    const Case cases[] = {
        {OsVersion{2, 4}, false, {2, 4}, false, false, false},
        {OsVersion{2, 6}, true, {2, 6}, true, false, true},
        {OsVersion{3, 0}, std::nullopt, {3, 0}, true, true, false},
        {OsVersion{6, 1}, false, {6, 1}, true, true, false},
        // Without a version the initialisation stops before the 32-on-64 question.
        {std::nullopt, true, {0, 0}, false, false, false},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        auto backend = std::make_unique<FixedSystemInfoBackend>();
        backend->version = c.version;
        backend->wow64 = c.wow64;
        CSystemInfo info(std::move(backend));
        info.Initialize();
        EXPECT_EQ(info.Version(), c.seen);
        EXPECT_EQ(info.IsVistaOrLater(), c.vista);
        EXPECT_EQ(info.IsWindows10OrLater(), c.windows10);
        EXPECT_EQ(info.IsWow64(), c.is_wow64);
        info.Release();
        EXPECT_EQ(info.Version(), (OsVersion{0, 0}));
        EXPECT_FALSE(info.IsWow64());
    }
}

struct ProductCall {
    int result = -1;
    uint32_t length = 0;
    std::vector<char> buffer;
};

// Calls the product read on a buffer pre-filled with '#', one byte longer than the capacity it
// is given, so that untouched outputs and writes past the capacity show.
ProductCall ReadProduct(const Bytes& table, std::optional<std::string> without_table,
                        size_t capacity) {
    auto backend = std::make_unique<FixedSystemInfoBackend>();
    backend->table.data = table;
    backend->board_product = std::move(without_table);
    CSystemInfo info(std::move(backend));
    ProductCall call;
    call.buffer.assign(capacity + 1, '#');
    call.length = 777;
    call.result = info.GetBaseBoardProduct(&call.length, call.buffer.data(), capacity);
    return call;
}

TEST(SystemInfoTest, BaseBoardProductOutputs) {
    const Bytes with_board =
        test::SmbiosTableBytes({test::FirmwareInfo(), test::SystemInfoWithoutStrings(),
                                test::FullBaseBoard(), test::EndOfTable()});
    const Bytes product_zero = test::SmbiosTableBytes({test::FullBaseBoard(0)});
    const Bytes no_board = test::SmbiosTableBytes({test::FirmwareInfo(), test::EndOfTable()});
    struct Case {
        const char* name;
        Bytes table;
        std::optional<std::string> without_table;
        size_t capacity;
        std::optional<std::string> text;  // nullopt: both outputs untouched
    };
    const Case cases[] = {
        {"from the table", with_board, "Other", 64, "Board X1"},
        {"cut to the capacity", with_board, std::nullopt, 5, "Boar"},
        {"exactly fitting", with_board, std::nullopt, 9, "Board X1"},
        {"product string 0", product_zero, "Other", 64, std::nullopt},
        {"no base board", no_board, "Other", 64, std::nullopt},
        {"no table: the system's own copy", {}, "Board Y", 64, "Board Y"},
        {"no table and no copy", {}, std::nullopt, 64, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProductCall call = ReadProduct(c.table, c.without_table, c.capacity);
        EXPECT_EQ(call.result, 1);
        EXPECT_EQ(call.buffer.back(), '#') << "written past the capacity";
        if (c.text) {
            EXPECT_EQ(call.length, c.text->size());
            EXPECT_EQ(std::string(call.buffer.data()), *c.text);
        } else {
            EXPECT_EQ(call.length, 777u);
            EXPECT_EQ(std::string(call.buffer.begin(), call.buffer.end()),
                      std::string(c.capacity + 1, '#'));
        }
    }
}

TEST(SystemInfoTest, MissingOutputsReturnZero) {
    auto backend = std::make_unique<FixedSystemInfoBackend>();
    backend->table.data = test::FullBaseBoard();
    CSystemInfo info(std::move(backend));
    char text[16] = "untouched";
    uint32_t length = 5;
    EXPECT_EQ(info.GetBaseBoardProduct(nullptr, text, sizeof text), 0);
    EXPECT_EQ(info.GetBaseBoardProduct(&length, nullptr, sizeof text), 0);
    EXPECT_EQ(info.GetBaseBoardProduct(&length, text, 0), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(info.BaseBoardProduct(), "Board X1");
}

}  // namespace
}  // namespace orbisk
