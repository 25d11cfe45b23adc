#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbisk {

// The demo firmware of a MIPI bridge's own flash (profile ORV7608): code bytes that change with
// the version, and at 0x0100 the version marker of every demo image: "ORBISKFW", the version
// (32-bit little-endian), the bridge's second version word (likewise), then the text
// "FW VERSION %08X". The bridge reports the two words as its version words.
struct BridgeDemoLayout {
    static constexpr size_t kImageSize = 0x20000;
    static constexpr uint32_t kVersionMarker = 0x0100;
};

// `size` bytes (at least 0x200, at most 128 KB); empty when the size does not fit.
std::vector<uint8_t> MakeBridgeDemoImage(uint32_t version, uint32_t second_word = 0,
                                         size_t size = BridgeDemoLayout::kImageSize);

}  // namespace orbisk
