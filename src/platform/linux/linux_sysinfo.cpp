#include "platform/linux/linux_sysinfo.h"

#include <sys/utsname.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace orbisk {

namespace {

constexpr const char* kOsRelease = "/proc/sys/kernel/osrelease";
constexpr const char* kArch = "/proc/sys/kernel/arch";
constexpr const char* kDmiTable = "/sys/firmware/dmi/tables/DMI";
constexpr const char* kDmiEntryPoint = "/sys/firmware/dmi/tables/smbios_entry_point";
constexpr const char* kBoardName = "/sys/class/dmi/id/board_name";
// An entry point is at most 31 bytes; anything longer is not one.
constexpr size_t kMaxEntryPointBytes = 64;

std::string TrimLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

std::optional<bool> Is32BitOn64Bit(unsigned process_bits, std::string_view machine) {
    if (process_bits >= 64) return false;
    if (machine.empty()) return std::nullopt;
    // 64-bit kernels name their machine with "64" (x86_64, aarch64, ppc64le, riscv64,
    // loongarch64…), except s390x.
    return machine.find("64") != std::string_view::npos || machine == "s390x";
}

LinuxSystemInfoBackend::LinuxSystemInfoBackend(std::string root) : root_(std::move(root)) {}

std::optional<std::string> LinuxSystemInfoBackend::ReadText(const char* path,
                                                            size_t max_bytes) const {
    std::ifstream in(root_ + path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < max_bytes) {
        in.read(chunk,
                static_cast<std::streamsize>(std::min(sizeof chunk, max_bytes - bytes.size())));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::optional<OsVersion> LinuxSystemInfoBackend::ReadOsVersion() {
    if (const auto release = ReadText(kOsRelease, 256)) return ParseKernelRelease(*release);
    if (!root_.empty()) return std::nullopt;
    utsname names{};
    if (::uname(&names) != 0) return std::nullopt;
    return ParseKernelRelease(names.release);
}

std::optional<bool> LinuxSystemInfoBackend::Is32BitProcessOn64BitSystem() {
    const unsigned bits = sizeof(void*) * 8;
    if (const auto arch = ReadText(kArch, 256)) return Is32BitOn64Bit(bits, TrimLineEnd(*arch));
    if (!root_.empty()) return Is32BitOn64Bit(bits, {});
    utsname names{};
    if (::uname(&names) != 0) return Is32BitOn64Bit(bits, {});
    return Is32BitOn64Bit(bits, names.machine);
}

SmbiosTable LinuxSystemInfoBackend::ReadSmbiosTable() {
    SmbiosTable table;
    const auto data = ReadText(kDmiTable, kMaxTableBytes);
    if (!data || data->empty()) return table;
    table.data.assign(data->begin(), data->end());
    // The table is usable without its version; an unreadable entry point leaves it 0.0.
    if (const auto entry = ReadText(kDmiEntryPoint, kMaxEntryPointBytes)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(entry->data());
        uint8_t major = 0;
        uint8_t minor = 0;
        if (ParseSmbiosEntryPoint({bytes, entry->size()}, &major, &minor)) {
            table.major_version = major;
            table.minor_version = minor;
        }
    }
    return table;
}

std::optional<std::string> LinuxSystemInfoBackend::BoardProductWithoutTable() {
    auto name = ReadText(kBoardName, 1024);
    if (!name) return std::nullopt;
    // The kernel adds a line end, and shows a missing or blank product as an empty line.
    std::string product = TrimLineEnd(std::move(*name));
    if (product.empty()) return std::nullopt;
    return product;
}

std::unique_ptr<SystemInfoBackend> CreateNativeSystemInfoBackend() {
    return std::make_unique<LinuxSystemInfoBackend>();
}

}  // namespace orbisk
