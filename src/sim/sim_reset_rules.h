#pragma once
#include <cstdint>

namespace orbisk::sim {

// What a chip's boot ROM looks at before it stays for an update: the boot-select register
// 0xFF92 set to 1, and on some chips the boot strap 0xFE56 set to 0x24. A reset into update
// mode without them starts the code in memory, as a plain restart does.
struct ResetNeeds {
    bool boot_select;
    bool boot_strap;
};

inline constexpr uint16_t kBootSelectRegister = 0xFF92;
inline constexpr uint16_t kBootStrapRegister = 0xFE56;
inline constexpr uint8_t kBootStrapValue = 0x24;

// The update sub-modes the boot ROM of a flash camera knows: 0 and 1 (the two numberings of
// serial flash the transports use) and 2 (update without waiting for the host). Other
// memories bring their own.
inline bool FlashUpdateSubModeKnown(uint16_t sub_mode) {
    return sub_mode <= 2;
}

// An OTP camera's boot ROM: the reset kinds 5 and 6 of its chip, and 2.
inline bool OtpUpdateSubModeKnown(uint16_t sub_mode) {
    return sub_mode == 2 || sub_mode == 5 || sub_mode == 6;
}

// Whether a reset into update mode with this sub-mode keeps the camera in its boot ROM, given
// the controller's registers at the moment of the reset.
inline bool StaysInRomForUpdate(const ResetNeeds& needs, bool sub_mode_known,
                                const uint8_t* registers) {
    if (!sub_mode_known) return false;
    if (needs.boot_select && registers[kBootSelectRegister] != 1) return false;
    if (needs.boot_strap && registers[kBootStrapRegister] != kBootStrapValue) return false;
    return true;
}

}  // namespace orbisk::sim
