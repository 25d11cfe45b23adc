#pragma once
#include <optional>
#include <string>

#include "platform/sysinfo.h"

namespace orbisk {

// A system that answers from the values set here: tests and simulated set-ups use it in place
// of the native backend. What is left unset reads as "cannot be told".
class FixedSystemInfoBackend : public SystemInfoBackend {
  public:
    std::optional<OsVersion> version;
    std::optional<bool> wow64;
    SmbiosTable table;
    std::optional<std::string> board_product;

    std::optional<OsVersion> ReadOsVersion() override { return version; }
    std::optional<bool> Is32BitProcessOn64BitSystem() override { return wow64; }
    SmbiosTable ReadSmbiosTable() override { return table; }
    std::optional<std::string> BoardProductWithoutTable() override { return board_product; }
};

}  // namespace orbisk
