#include "platform/linux/linux_sysinfo.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <filesystem>

#include "platform/smbios_fixtures.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

using test::Bytes;

// A folder laid out like the parts of /proc and /sys the backend reads.
class FakeRoot {
  public:
    void Put(const std::string& path, const std::string& bytes) {
        const std::filesystem::path full = dir_.path() + path;
        std::filesystem::create_directories(full.parent_path());
        test::WriteFile(full.string(), bytes);
    }
    void Put(const std::string& path, const Bytes& bytes) {
        Put(path, std::string(bytes.begin(), bytes.end()));
    }
    const std::string& path() const { return dir_.path(); }

  private:
    test::TempDir dir_;
};

Bytes Sm3EntryPoint(uint8_t major, uint8_t minor) {
    Bytes e{'_', 'S', 'M', '3', '_', 0, 0x18, major, minor, 0, 1};
    e.resize(0x18);
    uint8_t sum = 0;
    for (uint8_t b : e) sum = static_cast<uint8_t>(sum + b);
    e[5] = static_cast<uint8_t>(-sum);
    return e;
}

TEST(LinuxSystemInfoTest, ReadsTheTreeAsRootSeesIt) {
    FakeRoot root;
    root.Put("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    root.Put("/proc/sys/kernel/arch", "x86_64\n");
    const Bytes table =
        test::SmbiosTableBytes({test::FirmwareInfo(), test::SystemInfoWithoutStrings(),
                                test::FullBaseBoard(), test::EndOfTable()});
    root.Put("/sys/firmware/dmi/tables/DMI", table);
    root.Put("/sys/firmware/dmi/tables/smbios_entry_point", Sm3EntryPoint(3, 3));
    root.Put("/sys/class/dmi/id/board_name", "Not this one\n");

    LinuxSystemInfoBackend backend(root.path());
    EXPECT_EQ(backend.ReadOsVersion(), (OsVersion{6, 1}));
    EXPECT_EQ(backend.Is32BitProcessOn64BitSystem(), sizeof(void*) == 4);
    const SmbiosTable copy = backend.ReadSmbiosTable();
    EXPECT_EQ(copy.data, table);
    EXPECT_EQ(copy.major_version, 3);
    EXPECT_EQ(copy.minor_version, 3);

    CSystemInfo info(std::make_unique<LinuxSystemInfoBackend>(root.path()));
    info.Initialize();
    EXPECT_TRUE(info.IsWindows10OrLater());
    EXPECT_EQ(info.BaseBoardProduct(), "Board X1");
}

TEST(LinuxSystemInfoTest, WithoutTheRawTableTheKernelCopyIsUsed) {
    struct Case {
        const char* name;
        std::optional<std::string> board_name;
        std::optional<std::string> product;
    };
    const Case cases[] = {
        {"board name", "Board Y\n", "Board Y"},
        {"blank product shown as an empty line", "\n", std::nullopt},
        {"no DMI at all", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRoot root;
        if (c.board_name) root.Put("/sys/class/dmi/id/board_name", *c.board_name);
        CSystemInfo info(std::make_unique<LinuxSystemInfoBackend>(root.path()));
        EXPECT_EQ(info.BaseBoardProduct(), c.product);
    }
}

TEST(LinuxSystemInfoTest, UnreadableEntryPointKeepsTheTableWithoutVersion) {
    FakeRoot root;
    root.Put("/sys/firmware/dmi/tables/DMI", test::FullBaseBoard());
    root.Put("/sys/firmware/dmi/tables/smbios_entry_point", std::string("_SM3_ garbage"));
    const SmbiosTable copy = LinuxSystemInfoBackend(root.path()).ReadSmbiosTable();
    EXPECT_EQ(copy.data, test::FullBaseBoard());
    EXPECT_EQ(copy.major_version, 0);
    EXPECT_EQ(copy.minor_version, 0);
}

TEST(LinuxSystemInfoTest, MissingFilesUnderAFakeRootAreUnknown) {
    FakeRoot root;
    LinuxSystemInfoBackend backend(root.path());
    EXPECT_EQ(backend.ReadOsVersion(), std::nullopt);
    EXPECT_EQ(backend.Is32BitProcessOn64BitSystem(),
              sizeof(void*) == 4 ? std::nullopt : std::optional<bool>(false));
    EXPECT_TRUE(backend.ReadSmbiosTable().data.empty());
}

TEST(LinuxSystemInfoTest, ThirtyTwoOnSixtyFour) {
    struct Case {
        unsigned bits;
        const char* machine;
        std::optional<bool> answer;
    };
    const Case cases[] = {
        {64, "x86_64", false}, {64, "", false},     {32, "x86_64", true},  {32, "aarch64", true},
        {32, "s390x", true},   {32, "i686", false}, {32, "armv7l", false}, {32, "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " on " + c.machine);
        EXPECT_EQ(Is32BitOn64Bit(c.bits, c.machine), c.answer);
    }
}

// The running system: the version is the kernel's own release.
TEST(LinuxSystemInfoTest, NativeBackendReportsTheRunningKernel) {
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    CSystemInfo info(CreateNativeSystemInfoBackend());
    info.Initialize();
    EXPECT_EQ(info.Version(), ParseKernelRelease(names.release));
    EXPECT_TRUE(info.IsVistaOrLater());
}

}  // namespace
}  // namespace orbisk
