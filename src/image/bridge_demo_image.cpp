#include "image/bridge_demo_image.h"

#include <cstdio>
#include <cstring>

namespace orbisk {

namespace {

constexpr char kMarkerMagic[] = "ORBISKFW";
constexpr size_t kMinSize = 0x200;

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> MakeBridgeDemoImage(uint32_t version, uint32_t second_word, size_t size) {
    if (size < kMinSize || size > BridgeDemoLayout::kImageSize) return {};
    std::vector<uint8_t> image(size);
    uint32_t state = 0x7608A5C3u ^ version ^ (second_word << 1);
    for (uint8_t& byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state);
    }
    uint8_t* m = &image[BridgeDemoLayout::kVersionMarker];
    std::memset(m, 0, 0x30);
    std::memcpy(m, kMarkerMagic, 8);
    PutLe32(m + 8, version);
    PutLe32(m + 12, second_word);
    std::snprintf(reinterpret_cast<char*>(m + 16), 32, "FW VERSION %08X", version);
    return image;
}

}  // namespace orbisk
