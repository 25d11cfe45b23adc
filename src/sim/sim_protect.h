#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace orbisk::sim {

// One condition of a write-protect pin: the bits of `mask` in the register at `reg` read as in
// `value` (all set unless named).
struct PinRule {
    uint16_t reg;
    uint8_t mask;
    uint8_t value = 0xFF;
};

// A memory's write-protect pin as the controller's registers drive it: released (high) only
// while every rule holds, so a host that leaves out one register of its chip's sequence keeps
// the memory protected. Registers come back to 0 at every reset: the pin is low after power-on.
struct WriteProtectPin {
    std::array<PinRule, 4> rules{};
    size_t count = 0;

    bool High(const uint8_t* registers) const {
        for (size_t i = 0; i < count; ++i) {
            const PinRule& rule = rules[i];
            if ((registers[rule.reg] & rule.mask) != (rule.value & rule.mask)) return false;
        }
        return count > 0;
    }
};

// The pins of the controller families: output enable and level of one GPIO, with group A's
// pin routed through a pin-function register as well.
inline constexpr WriteProtectPin kPinGpio0{{{{0xFEA0, 0x01}, {0xFEA6, 0x01}}}, 2};
inline constexpr WriteProtectPin kPinGpio1Pair{{{{0xFEA1, 0x0C}, {0xFEA7, 0x0C}}}, 2};
inline constexpr WriteProtectPin kPinGpio1{{{{0xFEA1, 0x04}, {0xFEA7, 0x04}}}, 2};
inline constexpr WriteProtectPin kPinGpio0Routed{{{{0xFEA0, 0x01}, {0xFEA6, 0x01}, {0xFF9C, 0x05}}},
                                                 3};

// An I2C EEPROM's write-protect input is active high and pulled up: it is released only while
// the controller drives it low. On most chips two GPIOs may carry it, and the pin is released
// while both are outputs (0xFEA0 bit 5, 0xFEA1 bit 1) driven low (0xFEA6 bit 5, 0xFEA7 bit 1).
// On the ORV6099 it hangs on one of two GPIOs of 0xFF9C: GPIO 0 released by bit 0 set and bit 2
// clear, GPIO 1 by bit 1 set and bit 3 clear.
inline constexpr WriteProtectPin kEepromPinGpio{
    {{{0xFEA0, 0x20}, {0xFEA6, 0x20, 0x00}, {0xFEA1, 0x02}, {0xFEA7, 0x02, 0x00}}}, 4};
inline constexpr WriteProtectPin kEepromPinFF9C[2] = {
    {{{{0xFF9C, 0x05, 0x01}}}, 1},
    {{{{0xFF9C, 0x0A, 0x02}}}, 1},
};

}  // namespace orbisk::sim
