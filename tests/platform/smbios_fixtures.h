#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orbisk::test {

using Bytes = std::vector<uint8_t>;

// One SMBIOS structure: type, length and handle are filled in before `fields` (the bytes from
// offset 4 on), then the texts, each with its zero, and the closing zero; an empty set is the
// two zeros alone.
inline Bytes SmbiosStructureBytes(uint8_t type, uint16_t handle, const Bytes& fields,
                                  const std::vector<std::string>& texts) {
    Bytes b{type, static_cast<uint8_t>(4 + fields.size()), static_cast<uint8_t>(handle),
            static_cast<uint8_t>(handle >> 8)};
    b.insert(b.end(), fields.begin(), fields.end());
    for (const auto& t : texts) {
        b.insert(b.end(), t.begin(), t.end());
        b.push_back(0);
    }
    if (texts.empty()) b.push_back(0);
    b.push_back(0);
    return b;
}

inline Bytes SmbiosTableBytes(std::initializer_list<Bytes> structures) {
    Bytes table;
    for (const auto& s : structures) table.insert(table.end(), s.begin(), s.end());
    return table;
}

inline Bytes EndOfTable() {
    return SmbiosStructureBytes(127, 0xFEFF, {}, {});
}

// A whole base board of a current table: manufacturer 1, product 2, version 3, serial number
// 4, asset tag 5, feature flags 0x09, location 6, chassis handle 0x0003, board type 0x0A
// (motherboard) and two contained handles.
inline Bytes FullBaseBoard(uint8_t product_string = 2) {
    return SmbiosStructureBytes(
        2, 0x0002,
        {1, product_string, 3, 4, 5, 0x09, 6, 0x03, 0x00, 0x0A, 2, 0x10, 0x00, 0x11, 0x00},
        {"Maker Inc.", "Board X1", "Rev 1.02", "SN-0042", "Tag 7", "Slot A"});
}

// Firmware information (type 0) with strings and system information (type 1) whose string set
// is empty, as they come before the base board in real tables.
inline Bytes FirmwareInfo() {
    return SmbiosStructureBytes(0, 0x0000, {1, 2, 0x00, 0xF0, 3, 0xFF},
                                {"Vendor", "1.0", "01/02/2024"});
}
inline Bytes SystemInfoWithoutStrings() {
    return SmbiosStructureBytes(1, 0x0001, {0, 0, 0, 0}, {});
}

}  // namespace orbisk::test
