#pragma once
// An OTP whose space is nearly used up by earlier failed writes, for the space questions.
#include <cstdint>
#include <vector>

namespace orbisk::test {

// Adds ten dead blocks of 1050 bytes behind the two blocks of VD entries 0 and 1: less than
// 5 KB and four VD entries remain. `used` receives where the last block ends.
inline std::vector<uint8_t> WithDeadOtpBlocks(std::vector<uint8_t> otp, uint32_t* used = nullptr) {
    constexpr uint32_t kTable = 0x3F70, kEntry = 5, kDead = 1050;
    const auto word = [&](uint32_t at) {
        return static_cast<uint32_t>(otp[at] << 8 | otp[at + 1]);
    };
    uint32_t end = word(kTable + kEntry) + word(kTable + kEntry + 2);
    for (uint32_t i = 2; i < 12; ++i, end += kDead) {
        uint8_t* e = &otp[kTable + kEntry * i];
        e[0] = static_cast<uint8_t>(end >> 8);
        e[1] = static_cast<uint8_t>(end);
        e[2] = kDead >> 8;
        e[3] = kDead & 0xFF;
        e[4] = 0xFF;  // dead
    }
    if (used) *used = end;
    return otp;
}

}  // namespace orbisk::test
