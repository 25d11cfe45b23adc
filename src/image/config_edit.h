#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orbisk {

class LogScope;

// Where the configuration area and the tag lie in an image ("Vendor Info M1" of the active
// chip profile).
struct ConfigLayout {
    uint32_t address = 0;  // ConfigAddress
    uint32_t size = 0;     // ConfigSize
    uint32_t tag = 0;      // TagAddress
};

inline constexpr uint8_t kWrittenConfigType = 0x55;
inline constexpr size_t kMaxEditChars = 48;

// Outcome of an edit; on anything but kOk the image is unchanged.
enum class EditResult {
    kOk,
    kImageTooShort,  // the image does not hold ConfigAddress + ConfigSize bytes
    kNoArea,         // no 0xA5 header at ConfigAddress
    kCorrupted,      // "Config file corrupted"
    kAppendFailed,   // a record could not be written into the new area
    kTooLarge,       // "GetConfigData failed": the new area exceeds ConfigSize
    kStringTooLong,  // 49 characters or more
};
const char* EditResultText(EditResult r);

// Rewrites the image's configuration area without the records of type `type` (and without
// the old CRC record; a fresh one is made for chip models 0 and 5).
EditResult RebuildWithoutType(std::span<uint8_t> image, const ConfigLayout& layout, uint8_t type,
                              LogScope* log = nullptr);

// Replaces every string record of type `type` (1 or 3) by `text`, or adds one when none is
// present. `new_area_size`, when given, receives the new area's size (records plus blob).
EditResult SetConfigString(std::span<uint8_t> image, const ConfigLayout& layout,
                           std::string_view text, uint8_t type, LogScope* log = nullptr,
                           size_t* new_area_size = nullptr);

}  // namespace orbisk
