#pragma once
#include <algorithm>
#include <cstdint>

#include "platform/result.h"

namespace orbisk {

// I2C long transfers move 64 bytes a piece, the register advancing with the data.
inline constexpr uint32_t kI2cLongPiece = 64;

// The pieces of an I2C long write of `len` bytes at `reg`. Bit 15 of the register marks "more
// pieces follow" for the bridge: it is cleared for the piece that ends the transfer, except
// when the whole transfer is one full piece, which goes with the register as given. Calls
// piece(register, offset, length) in order and stops at the first failure.
template <typename Piece>
HResult ForEachLongWritePiece(uint16_t reg, uint32_t len, Piece&& piece) {
    uint32_t done = 0;
    while (len - done > kI2cLongPiece) {
        const HResult hr = piece(reg, done, kI2cLongPiece);
        if (hr != kOk) return hr;
        reg = uint16_t(reg + kI2cLongPiece);
        done += kI2cLongPiece;
        if (len - done <= kI2cLongPiece) reg &= 0x7FFF;
    }
    const uint32_t left = len - done;
    if (left == 0) return kOk;
    if (left < kI2cLongPiece) reg &= 0x7FFF;
    return piece(reg, done, left);
}

// The register a mailbox block is written to. A block that fits one piece ends with that piece,
// so it goes with bit 15 clear: a single full piece would otherwise keep the mark and the
// bridge would wait for more.
inline uint16_t MailboxWriteRegister(uint16_t reg, uint32_t block_size) {
    return block_size <= kI2cLongPiece ? uint16_t(reg & 0x7FFF) : reg;
}

}  // namespace orbisk
