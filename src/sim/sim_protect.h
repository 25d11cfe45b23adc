#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace orbisk::sim {

// One condition of a write-protect pin: every bit of `mask` set in the register at `reg`.
struct PinRule {
    uint16_t reg;
    uint8_t mask;
};

// A memory's write-protect pin as the controller's registers drive it: released (high) only
// while every rule holds, so a host that leaves out one register of its chip's sequence keeps
// the memory protected. Registers come back to 0 at every reset: the pin is low after power-on.
struct WriteProtectPin {
    std::array<PinRule, 3> rules{};
    size_t count = 0;

    bool High(const uint8_t* registers) const {
        for (size_t i = 0; i < count; ++i)
            if ((registers[rules[i].reg] & rules[i].mask) != rules[i].mask) return false;
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

}  // namespace orbisk::sim
