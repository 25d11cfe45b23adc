#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "catalogue/ic_type_ini.h"

namespace orbisk::image_tool {

// Selects the chip profile for an image: by chip name (the part before any "/") or resource
// number when `wanted` is given; otherwise the first profile whose ChipInfo equals the chip
// model found at its own ConfigAddress (then, for configuration-only images, at offset 0;
// then the first profile with any configuration area at its ConfigAddress).
// False with `error` set when none fits.
bool PickProfile(CICTypeIni& profiles, std::span<const uint8_t> image, const std::string& wanted,
                 std::string& error, int* index = nullptr);

}  // namespace orbisk::image_tool
