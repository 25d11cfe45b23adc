#pragma once
#include <cstdint>

namespace orbisk::vendor {

// Both vendor-request generations pack a 20-bit address and length into the setup packet:
// wValue bits 0-7 selector, 8-11 address bits 16-19, 12-15 length bits 16-19; wIndex the
// address bits 0-15; wLength the length bits 0-15.
inline constexpr uint32_t kAddressLimit = 0x100000;

inline uint16_t PackedValue(uint32_t addr, uint32_t len, uint8_t selector) {
    return static_cast<uint16_t>(selector | (((addr >> 16) & 0xF) << 8) |
                                 (((len >> 16) & 0xF) << 12));
}

// Whether [addr, addr + len) can be named by the packing; beyond it the device would see a
// wrapped address.
inline bool FitsPacking(uint32_t addr, uint32_t len) {
    return addr < kAddressLimit && len <= kAddressLimit - addr;
}

}  // namespace orbisk::vendor
