#pragma once
#include <cstdint>
#include <span>
#include <string_view>

namespace orbisk {

// How a descriptor class reads and rebuilds its record. Most classes differ only in these
// parameters, so one implementation per shape serves them all.
enum class DescShape : uint8_t {
    kFixed,                    // fixed record length; bytes at fixed offsets, some bits dropped
    kVariable,                 // payload kept as read between a shortest and a longest record
    kWriteBackZero8,           // patch write-back: byte 2 = N, then N bytes reset to 0x00
    kWriteBackZero16,          // patch write-back: 16-bit M at bytes 2..3, then M bytes 0x00
    kPatchFill,                // patch write-back: the length read, payload reset to 0xFF
    kPatchFlag,                // patch write-back: a flag byte, then 64 bytes 0xFF when it is set
    kMicArray,                 // byte 2, N, then N - 1 data bytes
    kCcmForms,                 // 14 or 30 bytes as read; any other length is refused
    kNoiseReductionForms,      // written as 13, 24 or 44 bytes
    kCfgExtended,              // extended form: total, data length, data
    kSmallCachecode,           // type 0x27: total, data offset, data length, data
    kSmallCachecodeTwoTables,  // type 0x27 sub-kind 5: total, two table offsets, tables
    // Classes of the chain itself (strings, identity, code info, CRC).
    kString,
    kVidPid,
    kCodeInfo,
    kCrc,
};

enum class ByteOp : uint8_t {
    kMask,               // keep the bits of `keep`, then set the bits of `set`
    kBoolean,            // 1 when non-zero, else 0
    kSignMagnitudeHigh,  // high byte of a sign-magnitude value (low byte just before it):
                         // keep `keep`, and a negative zero loses its sign
};

// What a rebuild writes back of one byte of a fixed-length record (record offset, header
// included). Bytes without a rule are written back as read.
struct ByteRule {
    uint16_t offset = 0;
    uint8_t keep = 0xFF;
    uint8_t set = 0;
    ByteOp op = ByteOp::kMask;
};

struct DescClassInfo {
    std::string_view name;
    DescShape shape;
    uint8_t type;  // the type code the class is listed under
    // Shortest record the layout reads and longest record kept, header included. Fixed
    // classes: both are the record length a rebuild writes.
    uint16_t min_length;
    uint16_t max_length;
    std::span<const ByteRule> rules = {};
    // Records above 1022 bytes are kept in the extended form (bytes 2..3 hold the length).
    bool extended_form = false;
};

}  // namespace orbisk
