#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/sysinfo.h"

namespace orbisk {

// System facts from procfs and sysfs. The raw SMBIOS files are readable by root only; other
// users get the board product from the kernel's own copy of it (/sys/class/dmi/id/board_name),
// which the kernel takes from the same first base-board structure.
class LinuxSystemInfoBackend : public SystemInfoBackend {
  public:
    // root goes before every /proc and /sys path so that tests can hand in a tree of their own;
    // empty reads the running system (and only then falls back to uname()).
    explicit LinuxSystemInfoBackend(std::string root = {});

    std::optional<OsVersion> ReadOsVersion() override;
    std::optional<bool> Is32BitProcessOn64BitSystem() override;
    SmbiosTable ReadSmbiosTable() override;
    std::optional<std::string> BoardProductWithoutTable() override;

    // Largest table read; the first base-board structure sits near the start of any real one.
    static constexpr size_t kMaxTableBytes = 4u << 20;

  private:
    std::optional<std::string> ReadText(const char* path, size_t max_bytes) const;

    std::string root_;
};

// Whether a process of process_bits bits runs on a 64-bit kernel of this machine name ("x86_64",
// "aarch64", "s390x"…); nullopt when a 32-bit process cannot tell (unknown machine).
std::optional<bool> Is32BitOn64Bit(unsigned process_bits, std::string_view machine);

}  // namespace orbisk
