#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orbisk {

// Layout of the demo images the program carries (and `orbisk-image demo` writes): a 128 KB
// image for chip model 22 with the configuration area at 0xAE00 and the tag at 0x0FFE.
struct DemoLayout {
    static constexpr size_t kImageSize = 0x20000;
    static constexpr uint32_t kCodeSize = 0xAE00;
    static constexpr uint32_t kConfigAddress = 0xAE00;
    static constexpr uint32_t kConfigSize = 512;
    static constexpr uint32_t kTagAddress = 0x0FFE;
    static constexpr uint8_t kChipModel = 22;
    static constexpr uint8_t kConfigType = 0x55;
    // Version marker in the code region: "ORBISKFW", the version (32-bit little-endian),
    // four zero bytes, then the text "FW VERSION %08X" and a zero.
    static constexpr uint32_t kVersionMarker = 0x0100;
};

// Where a flash chip keeps things, as its chip profile says: the layout of a demo image for it.
struct FlashImageLayout {
    size_t image_size = DemoLayout::kImageSize;
    uint32_t code_size = DemoLayout::kCodeSize;
    uint32_t config_address = DemoLayout::kConfigAddress;
    uint32_t config_size = DemoLayout::kConfigSize;
    uint32_t tag_address = DemoLayout::kTagAddress;
    uint8_t chip_model = DemoLayout::kChipModel;
};

struct DemoImageSpec {
    uint16_t vid = 0x2C7E;
    uint16_t pid = 0x6363;
    uint16_t rev = 0x0100;
    std::string manufacturer = "Orbisk";
    std::string product = "Orbisk Demo Camera";
    std::string serial = "DEMO0001";
    uint32_t version = 0x1060;
};

class CConfigBuilder;
// Starts a demo configuration area: header, 0x2F (the recipe's version), 0x08, the identity and
// the three strings. False when they do not fit.
bool BeginDemoArea(CConfigBuilder& builder, const DemoImageSpec& recipe, uint8_t config_type,
                   uint8_t chip_model);

// The whole image; empty with `error` set when a string is longer than a record can hold.
std::vector<uint8_t> MakeDemoImage(const DemoImageSpec& recipe, std::string* error = nullptr);
// The same image for another flash chip: code with the version marker, the configuration area
// (type 0x55) at the layout's address, the tag. Empty with `error` when the layout cannot hold
// it (the marker, the area or the tag outside the image, the code over the area).
std::vector<uint8_t> MakeFlashDemoImage(const DemoImageSpec& recipe, const FlashImageLayout& layout,
                                        std::string* error = nullptr);
// A configuration-only image (an EEPROM's or an MTP's, the whole memory): the demo area of
// `config_type` from offset 0, padded with 0xFF to `memory_size` bytes. Empty with `error` when
// it does not fit.
std::vector<uint8_t> MakeConfigDemoImage(const DemoImageSpec& recipe, uint8_t config_type,
                                         uint8_t chip_model, size_t memory_size,
                                         std::string* error = nullptr);
// The version a demo image carries in its marker, if it has one.
std::optional<uint32_t> ReadDemoVersion(std::span<const uint8_t> image);
// A default configuration area: header, 0x2F and 0x08 records (15 bytes), padded with 0xFF
// to `pad_to` bytes when that is larger.
std::vector<uint8_t> MakeDefaultConfigArea(uint8_t config_type, uint8_t chip_model,
                                           size_t pad_to = 0);

}  // namespace orbisk
