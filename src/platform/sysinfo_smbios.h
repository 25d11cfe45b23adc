#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The SMBIOS structure table (DMTF DSP0134) as pure functions over bytes: no I/O here, so every
// bound is tested on fixtures and fuzzed.

namespace orbisk {

// Copy of the firmware's structure table with the version its entry point announces.
struct SmbiosTable {
    uint8_t major_version = 0;
    uint8_t minor_version = 0;
    std::vector<uint8_t> data;
};

// One structure, both parts lying inside the walked table.
struct SmbiosStructure {
    uint8_t type = 0;
    uint16_t handle = 0;
    // Type, length, handle and the fields after them; its size is the length byte.
    std::span<const uint8_t> formatted;
    // The texts of the string set separated by their zeros, without the two closing zeros.
    std::span<const uint8_t> strings;

    // Text number `number` (1-based) of the set; nullopt for 0 or a number beyond the set.
    std::optional<std::string_view> String(uint8_t number) const;
    // Fields of the formatted area; 0 when the structure is too short to hold them (older
    // table versions end their structures early).
    uint8_t Byte(size_t offset) const;
    uint16_t Word(size_t offset) const;
};

// Walks the table structure by structure. The walk ends at the end-of-table structure (type
// 127), at the end of the bytes, and at the first structure that does not lie wholly inside
// them: a formatted length below 4, a formatted area running past the end, or a string set
// without its two closing zeros.
class SmbiosWalker {
  public:
    explicit SmbiosWalker(std::span<const uint8_t> table) : table_(table) {}
    std::optional<SmbiosStructure> Next();

  private:
    std::span<const uint8_t> table_;
    size_t offset_ = 0;
    bool ended_ = false;
};

inline constexpr uint8_t kSmbiosBaseBoard = 2;
inline constexpr uint8_t kSmbiosEndOfTable = 127;

// The base-board record (structure type 2) with its strings resolved.
struct BaseBoardRecord {
    uint8_t type = 0;
    uint8_t length = 0;
    uint16_t handle = 0;
    uint8_t manufacturer_string = 0;
    uint8_t product_string = 0;
    uint8_t version_string = 0;
    uint8_t serial_number_string = 0;
    uint8_t asset_tag_string = 0;
    uint8_t feature_flags = 0;
    uint8_t location_string = 0;
    uint16_t chassis_handle = 0;
    uint8_t board_type = 0;
    // The count as the structure states it; `contained_handles` holds only the handles that lie
    // inside the formatted area.
    uint8_t contained_handle_count = 0;
    std::vector<uint16_t> contained_handles;

    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> version;
    std::optional<std::string> serial_number;
    std::optional<std::string> asset_tag;
    std::optional<std::string> location;
};

// Decodes one type-2 structure.
BaseBoardRecord DecodeBaseBoard(const SmbiosStructure& structure);

// The first base-board structure of the table; nullopt when the walk ends before one.
std::optional<BaseBoardRecord> FindBaseBoard(std::span<const uint8_t> table);

// Version from an SMBIOS entry point structure: "_SM3_" (64-bit), "_SM_" (32-bit) or the
// legacy "_DMI_" one with its BCD revision. False when the anchor, length or checksum is wrong.
bool ParseSmbiosEntryPoint(std::span<const uint8_t> entry, uint8_t* major, uint8_t* minor);

}  // namespace orbisk
