#include "device/device_status.h"

#include <cstdio>

namespace orbisk {

uint16_t StatusWord(const DevStatusBlock& block, size_t offset) {
    return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

SelectedStatus SelectStatus(const DevStatusBlock& block) {
    const uint8_t primary = block[64];
    const uint8_t secondary = block[72];
    const uint8_t primary_mode = primary & 0x0F;
    const uint8_t secondary_mode = secondary & 0x0F;
    SelectedStatus s;
    s.secondary = primary_mode == 0 && secondary_mode != 0 && secondary_mode != 11;
    const uint8_t mode_byte = s.secondary ? secondary : primary;
    // With the primary nibble 0 and nothing usable in the secondary one the run mode is 0.
    s.run_mode = s.secondary ? secondary_mode : primary_mode;
    switch (mode_byte >> 4) {
        case 2:
            s.version_style = 1;
            break;
        case 3:
            s.version_style = 2;
            break;
        default:
            s.version_style = 0;
            break;
    }
    const size_t base = s.secondary ? 72 : 64;
    s.leading = block[base + 3];
    s.first_word = StatusWord(block, base + 4);
    s.second_word = StatusWord(block, base + 6);
    return s;
}

std::string FirmwareVersionText(const DevStatusBlock& block, bool with_ids, uint16_t vid,
                                uint16_t pid) {
    const SelectedStatus s = SelectStatus(block);
    char text[160];
    switch (s.version_style) {
        case 1:
            std::snprintf(text, sizeof text, "0x%02X%02X-%02X%02X", block[77], block[76], block[79],
                          block[78]);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%01X.%01X%02X.%04X-%04X.%04X", block[79] >> 4,
                          block[79] & 0x0F, block[78], StatusWord(block, 76), StatusWord(block, 82),
                          StatusWord(block, 80));
            break;
        default:
            std::snprintf(text, sizeof text, "0x%02X-%02X%02X-%02X%02X", s.leading,
                          s.second_word & 0xFF, s.second_word >> 8, block[5], block[4]);
            break;
    }
    std::string result = text;
    if (with_ids) {
        std::snprintf(text, sizeof text, "-VID%04X&&PID%04X", vid, pid);
        result += text;
    }
    return result;
}

std::string SecondVersionText(const DevStatusBlock& block) {
    const SelectedStatus s = SelectStatus(block);
    if (s.version_style != 0) return {};
    char text[64];
    std::snprintf(text, sizeof text, "0x%02X-%02X%02X-%02X%02X", s.leading, s.first_word & 0xFF,
                  s.first_word >> 8, s.second_word & 0xFF, s.second_word >> 8);
    return text;
}

}  // namespace orbisk
