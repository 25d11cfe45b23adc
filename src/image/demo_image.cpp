#include "image/demo_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "image/config_chain.h"

namespace orbisk {

namespace {

constexpr char kMarkerMagic[] = "ORBISKFW";
constexpr uint8_t kDemoEepInfo = 0x02;

CDescGlobal DemoHeader(uint8_t config_type, uint8_t chip_model) {
    CDescGlobal h;
    h.config_type = config_type;
    h.magic = CDescGlobal::kMagic;
    h.chip_model = chip_model;
    return h;
}

constexpr size_t kMarkerSpace = 0x30;

// Code bytes that change with the version, so two demo images never compare equal by chance.
void FillCode(std::vector<uint8_t>& image, uint32_t code_size, uint32_t version) {
    uint32_t state = 0x2545F491u ^ version;
    for (uint32_t i = 0; i < code_size; ++i) {
        state = state * 1664525u + 1013904223u;
        image[i] = static_cast<uint8_t>(state >> 24);
    }
    // Reset vector: LJMP to the code after the marker.
    image[0] = 0x02;
    image[1] = 0x02;
    image[2] = 0x00;
    uint8_t* m = &image[DemoLayout::kVersionMarker];
    std::memset(m, 0, kMarkerSpace);
    std::memcpy(m, kMarkerMagic, 8);
    PutLe32(m + 8, version);
    std::snprintf(reinterpret_cast<char*>(m + 16), 32, "FW VERSION %08X", version);
}

bool Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

bool StringsFit(const DemoImageSpec& recipe, std::string* error) {
    for (const std::string* s : {&recipe.manufacturer, &recipe.product, &recipe.serial})
        if (s->size() > CDescString::kMaxChars)
            return Refuse(error, "string longer than 53 characters: " + *s);
    return true;
}

bool LayoutHolds(const FlashImageLayout& l, std::string* error) {
    const uint64_t size = l.image_size;
    if (l.code_size < DemoLayout::kVersionMarker + kMarkerSpace || l.code_size > l.config_address)
        return Refuse(error,
                      "the code region does not hold the version marker before the "
                      "configuration area");
    if (uint64_t{l.config_address} + l.config_size > size || uint64_t{l.tag_address} + 2 > size)
        return Refuse(error, "the configuration area or the tag lies past the image end");
    return true;
}

}  // namespace

bool BeginDemoArea(CConfigBuilder& builder, const DemoImageSpec& recipe, uint8_t config_type,
                   uint8_t chip_model) {
    // The 0x2F record written here, not by Begin, so a version whose low half is 0 stays 0.
    builder.Begin(DemoHeader(config_type, chip_model), false, 0, false, 0);
    CDescHWAPVersion version(ChipIdForModel(chip_model), static_cast<uint16_t>(recipe.version));
    CDescEEPInfo eep(kDemoEepInfo);
    CDescVIDPID id(recipe.vid, recipe.pid, recipe.rev);
    CDescStringManu manu;
    manu.SetText(recipe.manufacturer);
    CDescStringProd prod;
    prod.SetText(recipe.product);
    CDescStringSN sn;
    sn.SetText(recipe.serial);
    for (CDescriptor* d :
         std::initializer_list<CDescriptor*>{&version, &eep, &id, &manu, &prod, &sn})
        if (!builder.Append(*d)) return false;
    return true;
}

std::vector<uint8_t> MakeDemoImage(const DemoImageSpec& recipe, std::string* error) {
    return MakeFlashDemoImage(recipe, FlashImageLayout{}, error);
}

std::vector<uint8_t> MakeFlashDemoImage(const DemoImageSpec& recipe, const FlashImageLayout& layout,
                                        std::string* error) {
    if (!StringsFit(recipe, error) || !LayoutHolds(layout, error)) return {};
    std::vector<uint8_t> image(layout.image_size, 0xFF);
    FillCode(image, layout.code_size, recipe.version);

    CConfigBuilder builder;
    auto area = std::span(image).subspan(layout.config_address, layout.config_size);
    if (!BeginDemoArea(builder, recipe, DemoLayout::kConfigType, layout.chip_model) ||
        !builder.Finish(area)) {
        Refuse(error, "configuration area does not fit");
        return {};
    }
    image[layout.tag_address] = 0x55;
    image[layout.tag_address + 1] = 0xAA;
    return image;
}

std::vector<uint8_t> MakeConfigDemoImage(const DemoImageSpec& recipe, uint8_t config_type,
                                         uint8_t chip_model, size_t memory_size,
                                         std::string* error) {
    if (!StringsFit(recipe, error)) return {};
    CConfigBuilder builder;
    std::vector<uint8_t> memory(memory_size, 0xFF);
    if (!BeginDemoArea(builder, recipe, config_type, chip_model) || !builder.Finish(memory)) {
        Refuse(error, "configuration area does not fit");
        return {};
    }
    return memory;
}

std::optional<uint32_t> ReadDemoVersion(std::span<const uint8_t> image) {
    if (image.size() < DemoLayout::kVersionMarker + 16) return std::nullopt;
    const uint8_t* m = &image[DemoLayout::kVersionMarker];
    if (std::memcmp(m, kMarkerMagic, 8) != 0) return std::nullopt;
    return GetLe32(m + 8);
}

std::vector<uint8_t> MakeDefaultConfigArea(uint8_t config_type, uint8_t chip_model, size_t pad_to) {
    CConfigBuilder builder;
    builder.Begin(DemoHeader(config_type, chip_model), true, 0, true, kDemoEepInfo);
    std::vector<uint8_t> area(std::max<size_t>(pad_to, 64), 0xFF);
    builder.Finish(area);
    area.resize(std::max(pad_to, builder.finished_size()));
    return area;
}

}  // namespace orbisk
