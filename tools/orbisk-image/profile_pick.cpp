#include "profile_pick.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "image/descriptor.h"

namespace orbisk::image_tool {

namespace {

int ProfileChipInfo(CICTypeIni& profiles) {
    const int s = profiles.FindSection("Camera_Register_00");
    return s < 0 ? -1 : profiles.GetValueI(s, "ChipInfo", -1) & 0xFF;
}

int ModelAt(std::span<const uint8_t> image, size_t offset) {
    CDescGlobal h;
    if (offset >= image.size() || !h.Parse(image.subspan(offset)) || !h.valid()) return -1;
    return h.chip_model;
}

// "ORV7771/7507" names the chips ORV7771 and ORV7507; the whole text names them too.
bool NamesChip(const std::string& table_name, const std::string& wanted) {
    if (strcasecmp(table_name.c_str(), wanted.c_str()) == 0) return true;
    size_t start = 0;
    for (bool first = true; start <= table_name.size(); first = false) {
        const size_t slash = std::min(table_name.find('/', start), table_name.size());
        const std::string part = (first ? "" : "ORV") + table_name.substr(start, slash - start);
        if (strcasecmp(part.c_str(), wanted.c_str()) == 0) return true;
        start = slash + 1;
    }
    return false;
}

bool Finish(CICTypeIni& profiles, int index, int* out) {
    if (out) *out = index;
    profiles.SelectProfile(index);
    profiles.ApplyProfile();
    // Keep chip_info as a register match would.
    profiles.chip_info = static_cast<uint8_t>(ProfileChipInfo(profiles));
    return true;
}

}  // namespace

bool PickProfile(CICTypeIni& profiles, std::span<const uint8_t> image, const std::string& wanted,
                 std::string& error, int* index) {
    const auto table = ChipTable();
    if (!wanted.empty()) {
        char* end = nullptr;
        const long number = std::strtol(wanted.c_str(), &end, 10);
        for (size_t i = 0; i < table.size(); ++i) {
            const bool by_number = end && *end == '\0' && number == table[i].resource;
            if (by_number || NamesChip(table[i].name, wanted))
                return Finish(profiles, static_cast<int>(i), index);
        }
        error = "unknown chip profile: " + wanted;
        return false;
    }
    // Pass 0: the chip model at the profile's own ConfigAddress; pass 1: at offset 0
    // (configuration-only images); pass 2: any area at the profile's ConfigAddress, for chip
    // models no built-in profile names (0 and 5, for instance).
    for (int pass = 0; pass < 3; ++pass) {
        for (size_t i = 0; i < table.size(); ++i) {
            profiles.SelectProfile(static_cast<int>(i));
            const size_t a =
                pass == 1 ? 0 : static_cast<size_t>(profiles.ReadVendorValue("ConfigAddress"));
            const int model = ModelAt(image, a);
            if (model >= 0 && (pass == 2 || model == ProfileChipInfo(profiles)))
                return Finish(profiles, static_cast<int>(i), index);
        }
    }
    error = "no chip profile fits this image (no configuration area of a known chip)";
    return false;
}

}  // namespace orbisk::image_tool
