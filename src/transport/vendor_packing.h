#pragma once
#include <algorithm>
#include <cstdint>

#include "platform/result.h"
#include "transport/vendor_cmd_common.h"

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

// A long read or write as requests of at most `piece` bytes, each with its own packed address,
// progress after each. `send(value, index, out, in, length)` issues one request.
template <typename Send>
HResult SendInPieces(uint32_t piece, uint8_t selector, uint32_t addr, uint32_t len,
                     const uint8_t* out_data, uint8_t* in_data, ProgressCallback progress,
                     void* context, Send&& send) {
    if (!FitsPacking(addr, len)) return kInvalidArg;
    for (uint32_t done = 0; done < len;) {
        const uint32_t n = std::min(len - done, piece);
        const uint32_t at = addr + done;
        const HResult hr = send(PackedValue(at, n, selector), static_cast<uint16_t>(at),
                                out_data ? out_data + done : nullptr,
                                in_data ? in_data + done : nullptr, static_cast<uint16_t>(n));
        if (hr != kOk) return hr;
        done += n;
        if (progress != nullptr) progress(context, n);
    }
    return kOk;
}

}  // namespace orbisk::vendor
