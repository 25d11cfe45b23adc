#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace orbisk {

// The 104-byte status block that GetDevStatus fills. The camera keeps two copies of its mode
// and version fields; which one counts is decided by SelectStatus.
inline constexpr size_t kDevStatusSize = 104;
using DevStatusBlock = std::array<uint8_t, kDevStatusSize>;

// The fields of the status block that the flows and the dialogs use, after the selection rule.
struct SelectedStatus {
    bool secondary = false;    // the fields at 72.. were chosen
    uint8_t run_mode = 0;      // 1: application code ("cache mode"); anything else: boot ROM
    int version_style = 0;     // 0, 1 or 2
    uint8_t leading = 0;       // byte 67 or 75
    uint16_t first_word = 0;   // word at 68 or 76
    uint16_t second_word = 0;  // word at 70 or 78
};

uint16_t StatusWord(const DevStatusBlock& block, size_t offset);
SelectedStatus SelectStatus(const DevStatusBlock& block);

// The run mode alone: 1 means the camera runs its application code.
inline bool RunsCode(const DevStatusBlock& block) {
    return SelectStatus(block).run_mode == 1;
}

// Firmware version text in the camera's version style. With ids the text carries
// "-VID%04X&&PID%04X" as MP_RefreshDeviceStatus shows it; without, the short dialog form.
std::string FirmwareVersionText(const DevStatusBlock& block, bool with_ids, uint16_t vid,
                                uint16_t pid);
// The second version text of style 0 ("" for the other styles).
std::string SecondVersionText(const DevStatusBlock& block);

}  // namespace orbisk
