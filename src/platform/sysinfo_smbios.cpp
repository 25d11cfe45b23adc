#include "platform/sysinfo_smbios.h"

#include <algorithm>
#include <cstring>

namespace orbisk {

std::optional<std::string_view> SmbiosStructure::String(uint8_t number) const {
    if (number == 0) return std::nullopt;
    const char* p = reinterpret_cast<const char*>(strings.data());
    const char* end = p + strings.size();
    for (size_t k = 1; p < end; ++k) {
        const char* zero = std::find(p, end, '\0');
        if (k == number) return std::string_view(p, static_cast<size_t>(zero - p));
        p = zero + (zero < end ? 1 : 0);
    }
    return std::nullopt;
}

uint8_t SmbiosStructure::Byte(size_t offset) const {
    return offset < formatted.size() ? formatted[offset] : 0;
}

uint16_t SmbiosStructure::Word(size_t offset) const {
    if (offset + 2 > formatted.size()) return 0;
    return static_cast<uint16_t>(formatted[offset] | (formatted[offset + 1] << 8));
}

std::optional<SmbiosStructure> SmbiosWalker::Next() {
    if (ended_) return std::nullopt;
    ended_ = true;  // cleared again only when a whole structure was found
    const size_t size = table_.size();
    if (offset_ >= size || size - offset_ < 4) return std::nullopt;
    const uint8_t type = table_[offset_];
    const uint8_t length = table_[offset_ + 1];
    if (length < 4 || length > size - offset_) return std::nullopt;
    if (type == kSmbiosEndOfTable) return std::nullopt;

    // The set ends at the first pair of zeros after the formatted area; an empty set is just
    // that pair.
    const size_t strings_begin = offset_ + length;
    size_t p = strings_begin;
    while (p + 1 < size && !(table_[p] == 0 && table_[p + 1] == 0)) ++p;
    if (p + 1 >= size) return std::nullopt;

    SmbiosStructure s;
    s.type = type;
    s.formatted = table_.subspan(offset_, length);
    s.handle = s.Word(2);
    s.strings = table_.subspan(strings_begin, p - strings_begin);
    offset_ = p + 2;
    ended_ = false;
    return s;
}

namespace {

std::optional<std::string> Text(const SmbiosStructure& s, uint8_t number) {
    const auto text = s.String(number);
    if (!text) return std::nullopt;
    return std::string(*text);
}

uint8_t Checksum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    return sum;
}

bool StartsWith(std::span<const uint8_t> bytes, const char* anchor) {
    const size_t n = std::strlen(anchor);
    return bytes.size() >= n && std::memcmp(bytes.data(), anchor, n) == 0;
}

}  // namespace

BaseBoardRecord DecodeBaseBoard(const SmbiosStructure& s) {
    BaseBoardRecord r;
    r.type = s.type;
    r.length = static_cast<uint8_t>(s.formatted.size());
    r.handle = s.handle;
    r.manufacturer_string = s.Byte(0x04);
    r.product_string = s.Byte(0x05);
    r.version_string = s.Byte(0x06);
    r.serial_number_string = s.Byte(0x07);
    r.asset_tag_string = s.Byte(0x08);
    r.feature_flags = s.Byte(0x09);
    r.location_string = s.Byte(0x0A);
    r.chassis_handle = s.Word(0x0B);
    r.board_type = s.Byte(0x0D);
    r.contained_handle_count = s.Byte(0x0E);
    for (size_t i = 0; i < r.contained_handle_count; ++i) {
        const size_t at = 0x0F + 2 * i;
        if (at + 2 > s.formatted.size()) break;  // the count promises more than the area holds
        r.contained_handles.push_back(s.Word(at));
    }
    r.manufacturer = Text(s, r.manufacturer_string);
    r.product = Text(s, r.product_string);
    r.version = Text(s, r.version_string);
    r.serial_number = Text(s, r.serial_number_string);
    r.asset_tag = Text(s, r.asset_tag_string);
    r.location = Text(s, r.location_string);
    return r;
}

std::optional<BaseBoardRecord> FindBaseBoard(std::span<const uint8_t> table) {
    SmbiosWalker walker(table);
    while (auto s = walker.Next()) {
        if (s->type == kSmbiosBaseBoard) return DecodeBaseBoard(*s);
    }
    return std::nullopt;
}

bool ParseSmbiosEntryPoint(std::span<const uint8_t> entry, uint8_t* major, uint8_t* minor) {
    if (major == nullptr || minor == nullptr) return false;
    size_t length = 0;
    size_t major_at = 0;
    if (StartsWith(entry, "_SM3_")) {
        if (entry.size() < 9) return false;
        length = entry[6];
        major_at = 7;
    } else if (StartsWith(entry, "_SM_")) {
        if (entry.size() < 8) return false;
        length = entry[5];
        major_at = 6;
    } else if (StartsWith(entry, "_DMI_")) {
        length = 15;
    } else {
        return false;
    }
    if (length <= major_at + 1 || length > entry.size()) return false;
    if (Checksum(entry.first(length)) != 0) return false;
    if (major_at != 0) {
        *major = entry[major_at];
        *minor = entry[major_at + 1];
    } else {
        const uint8_t bcd = entry[14];
        *major = static_cast<uint8_t>(bcd >> 4);
        *minor = static_cast<uint8_t>(bcd & 0x0F);
    }
    return true;
}

}  // namespace orbisk
