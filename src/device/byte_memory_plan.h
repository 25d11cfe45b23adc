#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/status_codes.h"

namespace orbisk {

// The codes a memory's failures and successes are reported with.
struct ByteMemoryCodes {
    uint32_t erase_fail, write_fail, read_fail;
    uint32_t read_success, erase_success, update_success, download_success;
};

inline constexpr ByteMemoryCodes kEepromCodes{
    kStatusEraseEepromFail,      kStatusUpdateEepromFail,   kStatusReadEepromFail,
    kStatusReadEepromSucceed,    kStatusEraseEepromSucceed, kStatusUpdateEepromSucceed,
    kStatusDownloadEepromSucceed};
inline constexpr ByteMemoryCodes kMtpCodes{kStatusEraseMtpFail,      kStatusUpdateMtpFail,
                                           kStatusReadMtpFail,       kStatusReadMtpSucceed,
                                           kStatusEraseMtpSucceed,   kStatusUpdateMtpSucceed,
                                           kStatusDownloadMtpSucceed};

// What the 8-bit EEPROM and the MTP sequences do with their memory: its transfers, its tag, its
// write protection, the codes of its failures and successes, the name its log texts use.
struct ByteMemoryPlan {
    std::string name;  // "I2CEEP" or "MTP"
    std::function<int(uint32_t)> erase;
    std::function<int(uint32_t, std::span<uint8_t>)> check_empty, write, read;
    std::function<bool()> write_tag;
    std::function<bool(uint8_t*)> read_tag;
    std::function<bool(bool enable)> protect;  // empty: the memory has no write-protect pin
    ByteMemoryCodes codes;
};

}  // namespace orbisk
