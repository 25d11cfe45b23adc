#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/ini_file.h"
#include "image/config_edit.h"

namespace orbisk {

inline constexpr const char* kVendorInfoSection = "Vendor Info M1";

// An INI text with the vendor values of a chip profile: where the configuration area and
// the tag lie in an image of that chip.
class CUserIni : public CIniFile {
  public:
    using CIniFile::CIniFile;

    int32_t ReadVendorValue(std::string_view key, int32_t def = 0) const {
        return GetValueI(kVendorInfoSection, key, def);
    }
    int32_t ReadConfigSize() const { return ReadVendorValue("ConfigSize"); }
    ConfigLayout ReadConfigLayout() const {
        return {static_cast<uint32_t>(ReadVendorValue("ConfigAddress")),
                static_cast<uint32_t>(ReadVendorValue("ConfigSize")),
                static_cast<uint32_t>(ReadVendorValue("TagAddress"))};
    }
};

}  // namespace orbisk
