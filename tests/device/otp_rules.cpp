#include "device/otp_rules.h"

#include <algorithm>
#include <cstdio>

namespace orbisk::test::otp_rules {

namespace {

// The memory map: data below 0x3F60, sixteen 5-byte entries from 0x3F70, sixteen 4-byte records
// from 0x3FC0 (record k at 0x3FBC + 4k).
constexpr uint32_t kData = 0x3F60;
constexpr uint32_t kEntries = 0x3F70;
constexpr uint32_t kRecords = 0x3FC0;

struct Rec {
    uint32_t address;
    uint8_t value;
    bool active;
};

std::vector<Rec> Records(const std::vector<uint8_t>& otp) {
    std::vector<Rec> records;
    for (int k = 0; k < 16; ++k) {
        const uint8_t* p = &otp[kRecords + 4 * k];
        records.push_back({uint32_t(p[0] << 8 | p[1]), p[2], p[3] == 0x5A});
    }
    return records;
}

// A code block of `image`: its own header, then the image's records up to its length.
bool CodePartOf(const std::vector<uint8_t>& block, const std::vector<uint8_t>& image) {
    return block.size() >= 15 && block.size() <= image.size() && block[5] == 3 &&
           std::equal(block.begin(), block.begin() + 2, image.begin()) &&
           std::equal(block.begin() + 6, block.end(), image.begin() + 6);
}

// A configuration block of `image`: the image's first records, then its last ones.
bool ConfigPartOf(const std::vector<uint8_t>& block, const std::vector<uint8_t>& image) {
    if (block.size() < 15 || block.size() > image.size()) return false;
    return std::equal(block.begin(), block.begin() + 2, image.begin()) &&
           std::equal(block.begin() + 6, block.begin() + 15, image.begin() + 6) &&
           std::equal(block.begin() + 15, block.end(), image.end() - (block.size() - 15));
}

std::string Text(const char* format, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

Layout Read(const std::vector<uint8_t>& otp) {
    Layout layout;
    if (otp.size() != 0x4000) return layout;
    const std::vector<Rec> records = Records(otp);
    for (int i = 0; i < 16; ++i) {
        const uint8_t* p = &otp[kEntries + 5 * i];
        if (std::all_of(p, p + 5, [](uint8_t b) { return b == 0; })) continue;
        Entry e{i, uint32_t(p[0] << 8 | p[1]), uint32_t(p[2] << 8 | p[3]), p[4], false};
        for (const Rec& r : records)
            if (r.active && r.address >= kEntries + 5 * i && r.address < kEntries + 5 * i + 5)
                e.patched = true;
        layout.entries.push_back(e);
        if (e.length > 0 && e.start + e.length <= kData)
            layout.end = std::max(layout.end, e.start + e.length);
    }
    for (const Entry& e : layout.entries) {
        if (e.patched || (e.flag != 0x55 && e.flag != 0xAA) || e.length == 0 ||
            e.start + e.length > kData)
            continue;
        std::vector<uint8_t> block(otp.begin() + e.start, otp.begin() + e.start + e.length);
        for (const Rec& r : records)
            if (r.active && r.address >= e.start && r.address < e.start + e.length)
                block[r.address - e.start] = r.value;
        // Entries in index order: the last one of a kind is the newest.
        if (e.flag == 0x55) {
            layout.code = block;
            layout.code_entry = e.index;
            ++layout.valid_code_blocks;
        } else {
            layout.config = block;
            layout.config_entry = e.index;
            ++layout.valid_config_blocks;
        }
    }
    return layout;
}

std::vector<uint8_t> Joined(const Layout& layout) {
    if (!layout.code) return {};
    std::vector<uint8_t> image = *layout.code;
    if (!layout.config || layout.config->size() < 15 || image.size() < 15) return image;
    image.insert(image.end(), layout.config->begin() + 15, layout.config->end());
    image[2] = static_cast<uint8_t>(((*layout.config)[2] & 0xF8) | 2);
    image[3] = static_cast<uint8_t>(image.size());
    image[4] = static_cast<uint8_t>(image.size() >> 8);
    image[5] = static_cast<uint8_t>((*layout.config)[5] + 1);
    return image;
}

std::vector<std::string> Check(const std::vector<uint8_t>& before,
                               const std::vector<uint8_t>& after, const Expect& expect) {
    std::vector<std::string> broken;
    if (before.size() != 0x4000 || after.size() != 0x4000) return {"the memory is not 16 KB"};
    // 1. A bit once set stays set.
    for (uint32_t a = 0; a < 0x4000; ++a)
        if ((after[a] & before[a]) != before[a]) {
            broken.push_back(
                Text("byte 0x%04X lost bits: 0x%02X became 0x%02X", a, before[a], after[a]));
            break;
        }
    const Layout layout = Read(after);
    // 2. Blocks of the entries lie in the data area, the newest of each kind starts with a
    // header of its own length, and no two blocks overlap. A retired or failed block keeps
    // its range whatever its flag became; only a killed entry (all bits set) names none.
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const Entry& e : layout.entries) {
        if (e.patched || e.length == 0) continue;
        if (e.start + e.length > kData) {
            if (e.flag == 0x55 || e.flag == 0xAA)
                broken.push_back(Text("entry %u names 0x%X+0x%X outside the data area", e.index,
                                      e.start, e.length));
            continue;
        }
        ranges.emplace_back(e.start, e.start + e.length);
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].second)
            broken.push_back(
                Text("blocks 0x%X.. and 0x%X.. overlap", ranges[i - 1].first, ranges[i].first));
    for (const auto* block : {&layout.code, &layout.config})
        if (*block && ((**block).size() < 15 || (**block)[1] != 0xA5 ||
                       uint32_t((**block)[3] | (**block)[4] << 8) != (**block).size()))
            broken.push_back("the newest valid block is no configuration chain of its length");
    // 3. After a clean end nothing the run programmed lies outside the named blocks (an
    // interrupted run before may have left such bytes).
    if (expect.clean) {
        for (uint32_t a = 0; a < kData; ++a) {
            if (after[a] == before[a]) continue;
            const bool inside = std::any_of(ranges.begin(), ranges.end(), [&](const auto& r) {
                return a >= r.first && a < r.second;
            });
            if (!inside) {
                broken.push_back(Text("byte 0x%04X is programmed outside every block", a));
                break;
            }
        }
    }
    // 4. After a success the records of retired and failed blocks are dead: an active record
    // with a value lies in a valid block or behind every block.
    if (expect.committed) {
        for (const Rec& r : Records(after)) {
            if (!r.active || r.value == 0 || r.address >= layout.end) continue;
            const bool in_valid =
                std::any_of(layout.entries.begin(), layout.entries.end(), [&](const Entry& e) {
                    return !e.patched && (e.flag == 0x55 || e.flag == 0xAA) &&
                           r.address >= e.start && r.address < e.start + e.length;
                });
            if (!in_valid)
                broken.push_back(
                    Text("an active record for 0x%04X lies in no valid block", r.address));
        }
    }
    // 5. The blocks the camera runs: exactly the new image after a success; otherwise each
    // kind keeps its block or has the new image's, and a code block is never lost.
    if (expect.committed) {
        if (layout.valid_code_blocks > 1 || layout.valid_config_blocks > 1)
            broken.push_back(Text("%u code and %u configuration blocks stay valid",
                                  layout.valid_code_blocks, layout.valid_config_blocks));
        if (Joined(layout) != expect.image)
            broken.push_back("the blocks do not read back as the image");
        return broken;
    }
    const Layout old = Read(before);
    if (old.code && !layout.code) broken.push_back("the camera lost its code block");
    if (layout.code && layout.code != old.code && !CodePartOf(*layout.code, expect.image))
        broken.push_back("the newest code block is neither the old one nor the new one");
    if (layout.config && layout.config != old.config && !ConfigPartOf(*layout.config, expect.image))
        broken.push_back("the newest configuration block is neither the old one nor the new one");
    return broken;
}

}  // namespace orbisk::test::otp_rules
