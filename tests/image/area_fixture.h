#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace orbisk::test {

using Bytes = std::vector<uint8_t>;

// Hand-made records and areas, written out byte by byte so the tests do not lean on the
// builder they check.
inline Bytes Rec(uint8_t type, const Bytes& payload) {
    const size_t n = payload.size() + 2;
    Bytes r{static_cast<uint8_t>(n), static_cast<uint8_t>(((n >> 8) << 6) | type)};
    r.insert(r.end(), payload.begin(), payload.end());
    return r;
}
inline Bytes Str(uint8_t type, const std::string& s) {
    Bytes p{static_cast<uint8_t>(s.size() + 2), 0x03};
    p.insert(p.end(), s.begin(), s.end());
    return Rec(type, p);
}
inline Bytes Version(uint16_t chip, uint16_t version) {
    return Rec(0x2F, {uint8_t(chip), uint8_t(chip >> 8), uint8_t(version), uint8_t(version >> 8)});
}
inline Bytes Identity(uint16_t vid, uint16_t pid, uint16_t rev) {
    return Rec(0x04, {uint8_t(vid), uint8_t(vid >> 8), uint8_t(pid), uint8_t(pid >> 8),
                      uint8_t(rev), uint8_t(rev >> 8)});
}
// Header (total and count from the records) followed by the records.
inline Bytes Area(uint8_t type, uint8_t chip_model, uint8_t variant,
                  std::initializer_list<Bytes> records) {
    size_t total = 6;
    for (const Bytes& r : records) total += r.size();
    Bytes a{type,
            0xA5,
            static_cast<uint8_t>(chip_model << 3 | variant),
            uint8_t(total),
            uint8_t(total >> 8),
            static_cast<uint8_t>(records.size())};
    for (const Bytes& r : records) a.insert(a.end(), r.begin(), r.end());
    return a;
}
// An image of `size` bytes of `fill` with `area` at `address`.
inline Bytes ImageWith(const Bytes& area, size_t address, size_t size, uint8_t fill = 0x5A) {
    Bytes img(size, fill);
    std::copy(area.begin(), area.end(), img.begin() + static_cast<ptrdiff_t>(address));
    return img;
}

}  // namespace orbisk::test
