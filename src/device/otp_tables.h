#pragma once
// The table arithmetic of one-time-programmable memory, over bytes only: the valid-data (VD)
// table that lists the blocks, the ECC table that repairs single bytes, the placement of a new
// block, the program-fail report and the space figures. No device access here.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orbisk::otp {

inline constexpr uint32_t kSize = 0x4000;
inline constexpr uint32_t kDataEnd = 0x3F60;  // blocks live in [0, kDataEnd)
inline constexpr uint32_t kVdBase = 0x3F70;
inline constexpr int kVdEntries = 16;
inline constexpr uint32_t kVdEntrySize = 5;
inline constexpr uint32_t kVdTableSize = kVdEntries * kVdEntrySize;
inline constexpr uint32_t kEccBase = 0x3FBC;  // record k (1..16) at kEccBase + 4k
inline constexpr uint32_t kEccTableStart = 0x3FC0;
inline constexpr int kEccRecords = 16;
inline constexpr uint32_t kEccRecordSize = 4;
inline constexpr uint32_t kEccTableSize = kEccRecords * kEccRecordSize;
inline constexpr uint8_t kFlagFree = 0x00;
inline constexpr uint8_t kFlagCode = 0x55;
inline constexpr uint8_t kFlagConfig = 0xAA;
inline constexpr uint8_t kFlagDead = 0xFF;
inline constexpr uint8_t kEccActive = 0x5A;
// Failed bytes one write can track, and what the program-fail report lists.
inline constexpr unsigned kFailSlots = 8;
inline constexpr uint32_t kReportSize = 19;
inline constexpr unsigned kReportAddresses = 9;
// Questions of the space check: fewer free bytes than this, fewer free entries than that.
inline constexpr uint32_t kLowSpaceBytes = 0x1401;
inline constexpr int kLowEntries = 5;

inline uint32_t VdEntryAddress(int index) {
    return kVdBase + kVdEntrySize * static_cast<uint32_t>(index);
}
inline uint32_t EccRecordAddress(int record) {
    return kEccBase + kEccRecordSize * static_cast<uint32_t>(record);
}

// One VD entry: block start and length (big-endian) and the kind of block.
struct VdEntry {
    uint16_t address = 0;
    uint16_t length = 0;
    uint8_t flag = kFlagFree;
    bool Free() const { return address == 0 && length == 0 && flag == kFlagFree; }
    uint32_t End() const { return uint32_t{address} + length; }
    // A range of the data area that a block may occupy; entries killed by writing their
    // complement name none.
    bool NamesRange() const { return length > 0 && End() <= kDataEnd; }
};

// One ECC record: the byte at `address` reads `value` while the record is active.
struct EccRecord {
    uint16_t address = 0;
    uint8_t value = 0;
    uint8_t flag = 0;
    bool Active() const { return flag == kEccActive; }
    bool Blank() const { return address == 0 && value == 0 && flag == 0; }
    // Active with value 0: the address is known, the value still to be programmed.
    bool Reserved() const { return Active() && value == 0; }
};

using VdTable = std::array<VdEntry, kVdEntries>;
using EccTable = std::array<EccRecord, kEccRecords>;  // [k - 1] is record k

// Parse the 80 bytes from kVdBase and the 64 bytes from kEccTableStart; shorter input leaves
// the missing entries free or blank.
VdTable ParseVdTable(std::span<const uint8_t> bytes);
EccTable ParseEccTable(std::span<const uint8_t> bytes);
std::array<uint8_t, kVdEntrySize> EncodeVdEntry(const VdEntry& entry);
std::array<uint8_t, kEccRecordSize> EncodeEccRecord(const EccRecord& record);

// The active record (1..16) whose address lies within entry `index`'s five bytes, 0 when
// none: such an entry cannot be trusted.
int PatchingRecord(const EccTable& ecc, int index);
inline bool EntryValid(const EccTable& ecc, int index) {
    return PatchingRecord(ecc, index) == 0;
}
int CountFreeEntries(const VdTable& vd);
// The highest index whose entry has a non-zero flag and is valid; 0 when none.
int PreSelBlock(const VdTable& vd, const EccTable& ecc);
// The first valid free entry; -1 when none.
int FirstFreeEntry(const VdTable& vd, const EccTable& ecc);
// The previous block of a new one: the valid entry with the highest end among the entries that
// name a range. Ranges and flags of killed or dead entries count too: a failed write's dead
// block must be stepped over. nullopt when no entry names a range (an empty memory).
std::optional<int> PreviousBlockEntry(const VdTable& vd, const EccTable& ecc);
// The newest block of a kind (0x55 or 0xAA): the highest valid entry of that flag naming a
// range; -1 when none.
int LatestBlockOfKind(const VdTable& vd, const EccTable& ecc, uint8_t flag);

// Position of the first run of eight non-zero bytes wholly inside `bytes`, which were read
// from `start`: bytes a write left behind without a VD entry.
std::optional<uint32_t> FindAbnormalRun(std::span<const uint8_t> bytes, uint32_t start);

// ECC bookkeeping of a new block [start, start + length).
struct EccCounts {
    unsigned actual = 8;           // 8 minus the active records below the block (not below 0)
    unsigned virtual_ = 0;         // blank records plus reserved records inside the block
    unsigned sub = 0;              // reserved records behind the block, in the data area
    std::vector<int> old_records;  // active records below the block, at most eight
};
EccCounts CountEcc(const EccTable& ecc, uint32_t start, uint32_t length);
// Records the block's write may still use: min(virtual, 8 - sub), never below 0.
unsigned ExecEccNum(unsigned virtual_records, unsigned sub);
// Reserved records inside the block (1..16), in record order.
std::vector<int> ReservedInBlock(const EccTable& ecc, uint32_t start, uint32_t length);
// The byte to program over a reserved address: the image byte without the bits the OTP already
// holds (the record will give the true value).
inline uint8_t ChangeBinaryData(uint8_t image_byte, uint8_t otp_byte) {
    return static_cast<uint8_t>(image_byte & ~otp_byte);
}
// The ECC view of a block read from `start`: every active record inside it replaces its byte,
// in record order (a later record wins).
void ApplyEcc(const EccTable& ecc, uint32_t start, std::span<uint8_t> block);
// Whether `address` lies inside some entry of kind `flag`; `same_start` tells whether it is
// that block's first byte.
bool BelongsToKind(const VdTable& vd, uint16_t address, uint8_t flag, bool* same_start = nullptr);
// The record the repair of `address` uses: the one reserved for it first, else the first blank
// one; 0 when none is left.
int RecordForRepair(const EccTable& ecc, uint16_t address);

// The program-fail report of the last write: the number of failed bytes and the first of
// their addresses. A count above nine is taken as nine listed addresses.
struct FailReport {
    unsigned count = 0;               // as reported (0..255)
    std::vector<uint16_t> addresses;  // min(count, 9) addresses, in report order
};
FailReport ParseFailReport(std::span<const uint8_t> bytes);

// Space figures of the OTP space text and the space check.
struct SpaceFacts {
    uint32_t used = 0;      // end of the furthest block any entry names (dead ones included)
    int free_entries = 16;  // valid free entries above the last entry in use
};
SpaceFacts ReadSpace(const VdTable& vd, const EccTable& ecc);
inline uint32_t FreeBytes(uint32_t used) {
    return used >= kDataEnd ? 0 : kDataEnd - used;
}
// "Used OTP Space: ..." with (image_length > 0) or without the remaining-times figure.
std::string SpaceText(const SpaceFacts& facts, uint32_t image_length);

}  // namespace orbisk::otp
