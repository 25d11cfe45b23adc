#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orbisk {

// Chip-model groups of the read-back comparison: where the patch block lies and how much of
// the memory is compared.
enum class DumpGroup { kA, kB, kC, kD, kE, kF, kG };
DumpGroup DumpGroupFor(uint8_t chip_model, uint32_t read_length);
// Address of the 64-byte patch block of groups A to D.
std::optional<uint32_t> PatchBlockAddress(DumpGroup group);

// The options and camera facts that decide what is compared.
struct DumpCheckFlags {
    bool remove_manufacturer = false;
    bool remove_write_back = false;
    bool code_signature = false;  // the camera's code carries 0x55 0xAA
    bool second_code = false;
};

// The patch write-back bytes of the EEPROM parts (chip models 3 and 19) that the firmware
// fills in itself; blank (all 0xFF) regions are left out of the comparison.
struct WriteBackRegion {
    bool flag = false;
    uint32_t start = 0;
    uint32_t length = 0;
};

// One record of a walked configuration chain: its offset from the start of the area, type and
// total length.
struct ChainRecord {
    uint32_t offset;
    uint8_t type;
    uint32_t length;
};

// The records of a configuration area as its walk finds them (records that cannot be read are
// stepped over and not listed); offsets count from the start of `area`.
std::vector<ChainRecord> WalkChainRecords(std::span<const uint8_t> area);

// Finds the write-back region among the type-9 records of chip model 3 or 19 in the read-back
// data (offsets into `data`). Records that do not lie inside the data are not examined.
WriteBackRegion LocateWriteBackRegion(uint8_t chip_model, std::span<const uint8_t> data,
                                      const std::vector<ChainRecord>& records);

// Blanks the bytes that the comparison must not see (patch rule, write-back region).
void BlankIgnoredBytes(std::span<uint8_t> readback, uint8_t chip_model, const DumpCheckFlags& flags,
                       const WriteBackRegion& region);

// The length of the first compared range.
uint32_t DumpCompareLength(uint8_t chip_model, uint32_t read_length, const DumpCheckFlags& flags,
                           const WriteBackRegion& region);

// Compares the prepared read-back with the image. Ranges that reach past either buffer make
// the comparison fail rather than read out of bounds.
bool CompareDump(std::span<const uint8_t> image, std::span<const uint8_t> readback,
                 uint8_t chip_model, const DumpCheckFlags& flags, const WriteBackRegion& region);

// The comparison of the bridge flows: the first (reserve - 1) * 4096 bytes, or 0x20000 when the
// reserve is 0.
bool CompareBridgeDump(std::span<const uint8_t> image, std::span<const uint8_t> readback,
                       uint32_t mipi_reserve);

}  // namespace orbisk
