#pragma once
// Configuration areas for the catalogue tests and the fuzz seeds: one record of every class of
// a chip model, as read and as a rebuild must write it.
#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "image/catalogue/desc_catalogue.h"
#include "image/config_chain.h"

namespace orbisk::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Header(uint8_t type, size_t total) {
    return {static_cast<uint8_t>(total), static_cast<uint8_t>(((total >> 8) & 3) << 6 | type)};
}
inline Bytes Ext(uint8_t type, size_t total) {
    return {0xFF, static_cast<uint8_t>(0xC0 | type), static_cast<uint8_t>(total),
            static_cast<uint8_t>(total >> 8)};
}
inline void Put16(Bytes& b, size_t at, size_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline Bytes Counting(size_t n, uint8_t seed) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), seed);
    return b;
}

// An area under construction: records are appended with the bytes read and the bytes a
// rebuild must write for them.
struct ChainPair {
    Bytes in, out;
    int count = 0;
    void Add(const Bytes& record_in, const Bytes& record_out) {
        in.insert(in.end(), record_in.begin(), record_in.end());
        out.insert(out.end(), record_out.begin(), record_out.end());
        ++count;
    }
    void Add(const Bytes& same) { Add(same, same); }
    size_t pos_in() const { return in.size(); }
    size_t pos_out() const { return out.size(); }
};

inline Bytes AreaHeader(uint8_t chip, uint8_t type, size_t total, int count) {
    Bytes h = {type, 0xA5, static_cast<uint8_t>(chip << 3 | 0x5),
               0,    0,    static_cast<uint8_t>(count)};
    Put16(h, 3, total);
    return h;
}

// One record of the class described by `info`, as read and as a rebuild writes it.
inline void AddRecordOf(ChainPair& c, const CatalogueEntry& e, uint8_t seed) {
    const DescClassInfo& info = *e.info;
    const uint8_t t = e.type;
    auto plain = [&](size_t total, uint8_t s) {
        Bytes r = Header(t, total);
        Bytes p = Counting(total - 2, s);
        r.insert(r.end(), p.begin(), p.end());
        return r;
    };
    switch (info.shape) {
        case DescShape::kFixed: {
            Bytes r = plain(info.max_length, seed);
            // Bytes under a rule hold a value the rule keeps as it is.
            for (const ByteRule& rule : info.rules) r[rule.offset] = rule.set;
            c.Add(r);
            break;
        }
        case DescShape::kVariable:
            c.Add(plain(std::min<size_t>(info.min_length + 9, info.max_length), seed));
            break;
        case DescShape::kString: {
            Bytes r = Header(t, 7);
            r.insert(r.end(), {5, 3, 'c', 'a', 'm'});
            c.Add(r);
            break;
        }
        case DescShape::kVidPid:
            c.Add(plain(8, seed));
            break;
        case DescShape::kCodeInfo:
        case DescShape::kCrc:
            break;  // placed by the caller
        case DescShape::kWriteBackZero8: {
            Bytes r = plain(12, seed), o = Header(t, 7);
            r[2] = 4;
            o.insert(o.end(), {4, 0, 0, 0, 0});
            c.Add(r, o);
            break;
        }
        case DescShape::kWriteBackZero16: {
            Bytes r = plain(9, seed), o = Header(t, 7);
            Put16(r, 2, 3);
            o.insert(o.end(), {3, 0, 0, 0, 0});
            c.Add(r, o);
            break;
        }
        case DescShape::kPatchFill: {
            Bytes o = Header(t, 12);
            o.resize(12, 0xFF);
            c.Add(plain(12, seed), o);
            break;
        }
        case DescShape::kPatchFlag: {
            Bytes r = plain(10, seed), o = Header(t, 67);
            r[2] = 0x80;
            o.push_back(0x80);
            o.resize(67, 0xFF);
            c.Add(r, o);
            break;
        }
        case DescShape::kMicArray: {
            Bytes r = plain(9, seed);
            r[3] = 6;
            c.Add(r);
            break;
        }
        case DescShape::kCcmForms:
            c.Add(plain(14, seed));
            break;
        case DescShape::kNoiseReductionForms:
            c.Add(plain(24, seed));
            break;
        case DescShape::kCfgExtended: {
            Bytes r = Ext(t, 11);
            r.insert(r.end(), {5, 0, 1, 2, 3, 4, 5});
            c.Add(r);
            break;
        }
        case DescShape::kSmallCachecode: {
            Bytes r = Ext(t, 28), d = Counting(20, seed);
            r.insert(r.end(), {0, 0, 20, 0});
            r.insert(r.end(), d.begin(), d.end());
            Bytes o = r;  // the data offset follows the record to its new place
            Put16(r, 4, c.pos_in() + 8);
            Put16(o, 4, c.pos_out() + 8);
            c.Add(r, o);
            break;
        }
        case DescShape::kSmallCachecodeTwoTables: {
            Bytes r = Ext(t, 8 + 16 + 12), d = Counting(28, seed);
            r.insert(r.end(), {0, 0, 0, 0});
            r.insert(r.end(), d.begin(), d.end());
            Bytes o = r;
            Put16(r, 4, c.pos_in() + 8);
            Put16(r, 6, c.pos_in() + 8 + 16);
            Put16(o, 4, c.pos_out() + 8);
            Put16(o, 6, c.pos_out() + 8 + 16);
            std::fill(o.begin() + 8 + 16, o.end(), 0xFF);
            c.Add(r, o);
            break;
        }
    }
}

// A configuration area of `chip` holding one record of every class it knows.
struct EveryClassArea {
    Bytes in, out;
};
inline EveryClassArea BuildEveryClassArea(uint8_t chip) {
    ChainPair c;
    c.in = c.out = Bytes(6);
    const uint16_t chip_id = ChipIdForModel(chip);
    Bytes version = {6, 0x2F, 0xEF, 0xBE, 0x34, 0x12};  // an old chip ID is replaced
    Bytes version_out = {
        6, 0x2F, static_cast<uint8_t>(chip_id), static_cast<uint8_t>(chip_id >> 8), 0x34, 0x12};
    c.Add(version, version_out);
    c.Add({3, 0x08, 0x42});
    uint8_t seed = 0x10;
    bool code_info = false;
    for (auto table : {CommonCatalogue(), ChipCatalogue(chip)}) {
        for (const CatalogueEntry& e : table) {
            if (e.info->shape == DescShape::kCodeInfo) code_info = true;
            AddRecordOf(c, e, seed);
            seed = static_cast<uint8_t>(seed + 0x1D);
        }
    }
    if (code_info && chip < kCatalogueChipModels) c.Add(Bytes{6, 0x0F, 0, 0, 4, 0});
    const bool crc = chip == 0 || chip == 5;
    Bytes blob = {0xB1, 0xB2, 0xB3, 0xB4};
    for (Bytes* area : {&c.in, &c.out}) {
        const size_t total = area->size() + (crc ? 10 : 0);
        if (code_info && chip < kCatalogueChipModels) Put16(*area, area->size() - 4, total);
        const Bytes h = AreaHeader(chip, 0x55, total, c.count + (crc ? 1 : 0));
        std::copy(h.begin(), h.end(), area->begin());
        if (crc) {
            const uLong a = crc32(0, area->data(), static_cast<uInt>(area->size()));
            const uLong b = code_info ? crc32(0, blob.data(), 4) : 0;
            Bytes r = {10, 0x1F};
            for (uLong v : {a, b})
                for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
            area->insert(area->end(), r.begin(), r.end());
        }
        if (code_info && chip < kCatalogueChipModels)
            area->insert(area->end(), blob.begin(), blob.end());
    }
    return {c.in, c.out};
}

}  // namespace orbisk::test
