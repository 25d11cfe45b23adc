#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sysinfo_smbios.h"

namespace orbisk {

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    auto operator<=>(const OsVersion&) const = default;
};

// What the operating system tells of itself. The native backend (src/platform/linux) reads the
// running system; FixedSystemInfoBackend (sysinfo_fixed.h) answers from set values.
class SystemInfoBackend {
  public:
    virtual ~SystemInfoBackend() = default;
    // nullopt when the version cannot be told.
    virtual std::optional<OsVersion> ReadOsVersion() = 0;
    // Whether this process is a 32-bit one on a 64-bit system; nullopt when it cannot be told.
    virtual std::optional<bool> Is32BitProcessOn64BitSystem() = 0;
    // The raw structure table; empty data when it cannot be read.
    virtual SmbiosTable ReadSmbiosTable() = 0;
    // The base-board product as the system reports it without the raw table; nullopt when it
    // reports none.
    virtual std::optional<std::string> BoardProductWithoutTable() = 0;
};

// The backend of the system the program runs on.
std::unique_ptr<SystemInfoBackend> CreateNativeSystemInfoBackend();

// What the version checks mean on Linux, where the version is the kernel release's major.minor:
// - "Vista or later" asks whether every device has a location path, not only a bus address:
//   from kernel 2.6 on sysfs names each USB device by its port path.
// - "Windows 10 or later" asks whether the camera driver's own extension-unit access ("Lib
//   Type" 2) may be used: from kernel 3.0 on the camera driver answers UVCIOC_CTRL_QUERY.
inline constexpr OsVersion kVistaEquivalent{2, 6};
inline constexpr OsVersion kWindows10Equivalent{3, 0};

// major.minor at the start of a kernel release ("6.1.0-18-amd64" gives 6.1).
std::optional<OsVersion> ParseKernelRelease(std::string_view release);

// The system-information object: system version, whether the process runs 32-bit on a 64-bit
// system (what Windows calls WOW64), and the product name of the base board.
class CSystemInfo {
  public:
    explicit CSystemInfo(std::unique_ptr<SystemInfoBackend> backend);

    // Reads the version and the 32-on-64 flag; what cannot be read stays 0.
    void Initialize();
    // Forgets the facts again, as before Initialize.
    void Release();

    // The product string of the first base-board structure, copied with a terminating zero into
    // text (capacity bytes, cut to fit); *length receives the number of characters copied. A
    // table without a product leaves both outputs untouched. Returns 0 only when an output is
    // missing (a null pointer or no capacity), else 1.
    int GetBaseBoardProduct(uint32_t* length, char* text, size_t capacity);
    // The same product as a string; nullopt when there is none.
    std::optional<std::string> BaseBoardProduct();

    OsVersion Version() const { return version_; }
    bool IsVistaOrLater() const { return version_ >= kVistaEquivalent; }
    bool IsWindows10OrLater() const { return version_ >= kWindows10Equivalent; }
    bool IsWow64() const { return wow64_; }

  private:
    std::unique_ptr<SystemInfoBackend> backend_;
    OsVersion version_;
    bool wow64_ = false;
};

}  // namespace orbisk
