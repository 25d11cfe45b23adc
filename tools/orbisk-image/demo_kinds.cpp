#include "demo_kinds.h"

#include <algorithm>

#include "base/process.h"
#include "image/bridge_demo_image.h"
#include "image/otp_demo_image.h"

namespace orbisk::image_tool {

namespace {

struct MemoryRow {
    DemoMemory memory;
    const char* name;
};
constexpr MemoryRow kMemories[] = {
    {DemoMemory::kSerialFlash, "sf"},  {DemoMemory::kNorFlash, "nor"},
    {DemoMemory::kEeprom8, "eeprom8"}, {DemoMemory::kEeprom16, "eeprom16"},
    {DemoMemory::kMtp, "mtp"},         {DemoMemory::kOtp, "otp"},
    {DemoMemory::kBridge, "bridge"},
};

// Configuration types of the configuration-only images.
constexpr uint8_t kTypeEeprom8 = 0x11;
constexpr uint8_t kTypeEeprom16 = 0x12;
constexpr uint8_t kTypeMtp = 0x40;
// NOR commands carry 16-bit addresses.
constexpr uint32_t kNorSpace = 0x10000;

uint32_t Vendor(const CICTypeIni& profile, const char* key) {
    return static_cast<uint32_t>(profile.ReadVendorValue(key));
}

FlashImageLayout LayoutOf(const CICTypeIni& profile) {
    // The chip of the carried images keeps their 128 KB layout, whatever its profile declares.
    if (profile.chip_info == DemoLayout::kChipModel) return FlashImageLayout{};
    FlashImageLayout layout;
    layout.config_address = Vendor(profile, "ConfigAddress");
    layout.config_size = Vendor(profile, "ConfigSize");
    layout.tag_address = Vendor(profile, "TagAddress");
    layout.code_size = Vendor(profile, "CodeSize");
    layout.chip_model = profile.chip_info;
    layout.image_size = Vendor(profile, "FlashSize");
    return layout;
}

bool FitsNor(const FlashImageLayout& layout) {
    return uint64_t{layout.config_address} + layout.config_size <= kNorSpace &&
           uint64_t{layout.tag_address} + 2 <= kNorSpace;
}

}  // namespace

const char* DemoMemoryName(DemoMemory memory) {
    for (const MemoryRow& row : kMemories)
        if (row.memory == memory) return row.name;
    return "";
}

std::optional<DemoMemory> ParseDemoMemory(const std::string& name) {
    for (const MemoryRow& row : kMemories)
        if (name == row.name) return row.memory;
    return std::nullopt;
}

std::vector<DemoMemory> ProfileMemories(const CICTypeIni& profile) {
    if (profile.GetValue(kConfigSection, "Bus Type", "") == "MIPI") return {DemoMemory::kBridge};
    if (Vendor(profile, "ConfigAddress") == 0 && Vendor(profile, "CodeSize") == 0) {
        std::vector<DemoMemory> kinds{DemoMemory::kEeprom16, DemoMemory::kEeprom8,
                                      DemoMemory::kMtp};
        // The chip whose OTP the flows program and read (identity 0x8010).
        if (profile.chip_info == OtpDemoLayout::kChipModel)
            kinds.insert(kinds.begin(), DemoMemory::kOtp);
        return kinds;
    }
    std::vector<DemoMemory> kinds{DemoMemory::kSerialFlash};
    if (FitsNor(LayoutOf(profile))) kinds.push_back(DemoMemory::kNorFlash);
    return kinds;
}

std::vector<uint8_t> MakeProfileDemoImage(const CICTypeIni& profile, const DemoRequest& request,
                                          std::string* error) {
    const DemoImageSpec& recipe = request.recipe;
    // The whole configuration area the profile declares: what the serial number is carried
    // into, as the updater does it.
    const auto config_only = [&](uint8_t type) {
        return MakeConfigDemoImage(recipe, type, profile.chip_info, Vendor(profile, "ConfigSize"),
                                   error);
    };
    switch (request.memory) {
        case DemoMemory::kSerialFlash:
            return MakeFlashDemoImage(recipe, LayoutOf(profile), error);
        case DemoMemory::kNorFlash: {
            FlashImageLayout layout = LayoutOf(profile);
            layout.image_size = kNorSpace;
            return MakeFlashDemoImage(recipe, layout, error);
        }
        case DemoMemory::kEeprom8:
            return config_only(kTypeEeprom8);
        case DemoMemory::kEeprom16:
            return config_only(kTypeEeprom16);
        case DemoMemory::kMtp:
            return config_only(kTypeMtp);
        case DemoMemory::kOtp:
            return MakeOtpDemoImage(recipe,
                                    request.otp_code_size != 0 ? request.otp_code_size
                                                               : OtpDemoLayout::kDefaultCodeSize,
                                    error);
        case DemoMemory::kBridge:
            return MakeBridgeDemoImage(recipe.version, request.second_word);
    }
    return {};
}

namespace {

struct ConfigTypeRow {
    uint8_t type;
    const char* name;
    const char* text;
};
constexpr ConfigTypeRow kConfigTypes[] = {
    {0x11, "eeprom8", "EEPROM, 8-bit addresses"},
    {0x12, "eeprom16", "EEPROM, 16-bit addresses"},
    {0x40, "mtp", "MTP"},
    {0x60, "otp", "OTP"},
    {0x30, "flash", "serial or NOR flash"},
    {0x55, "flash", "serial or NOR flash"},
    {0x61, "flash", "serial or NOR flash"},
};
constexpr ConfigTypeRow kUnknownType{0, "unknown", "unknown"};

const ConfigTypeRow& ConfigTypeOf(uint8_t type) {
    for (const ConfigTypeRow& row : kConfigTypes)
        if (row.type == type) return row;
    return kUnknownType;
}

}  // namespace

std::string ConfigTypeMemoryText(uint8_t config_type) {
    return ConfigTypeOf(config_type).text;
}

std::string ConfigTypeMemoryName(uint8_t config_type) {
    return ConfigTypeOf(config_type).name;
}

}  // namespace orbisk::image_tool
