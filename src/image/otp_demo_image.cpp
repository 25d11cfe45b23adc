#include "image/otp_demo_image.h"

#include <cstdio>
#include <cstring>

#include "image/config_chain.h"

namespace orbisk {

namespace {

constexpr uint8_t kCodeRecordType = 0x27;
constexpr size_t kCodeRecordHeader = 8;
constexpr size_t kMarkerSpace = 0x30;

bool Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// The extended 0x27 record at offset 15: length field 1023, total length, data offset (from
// the start of the area), data length, then the code.
std::vector<uint8_t> CodeRecord(const DemoImageRecipe& recipe, size_t code_size) {
    const size_t total = kCodeRecordHeader + code_size;
    std::vector<uint8_t> record(total);
    record[0] = 0xFF;
    record[1] = static_cast<uint8_t>(0xC0 | kCodeRecordType);
    PutLe16(&record[2], static_cast<uint16_t>(total));
    PutLe16(&record[4],
            static_cast<uint16_t>(OtpDemoLayout::kCodeRecordOffset + kCodeRecordHeader));
    PutLe16(&record[6], static_cast<uint16_t>(code_size));
    uint32_t state = 0x51ED270Bu ^ recipe.version;
    for (size_t i = kCodeRecordHeader; i < total; ++i) {
        state = state * 1664525u + 1013904223u;
        record[i] = static_cast<uint8_t>(state >> 24);
    }
    // The version marker at image offset 0x100, as in the flash demo images.
    uint8_t* m = &record[DemoLayout::kVersionMarker - OtpDemoLayout::kCodeRecordOffset];
    std::memset(m, 0, kMarkerSpace);
    std::memcpy(m, "ORBISKFW", 8);
    PutLe32(m + 8, recipe.version);
    std::snprintf(reinterpret_cast<char*>(m + 16), 32, "FW VERSION %08X", recipe.version);
    return record;
}

}  // namespace

std::vector<uint8_t> MakeOtpDemoImage(const DemoImageRecipe& recipe, size_t code_size,
                                      std::string* error) {
    const size_t min_code = DemoLayout::kVersionMarker + kMarkerSpace -
                            OtpDemoLayout::kCodeRecordOffset - kCodeRecordHeader;
    if (code_size < min_code || code_size > OtpDemoLayout::kMaxCodeSize) {
        Refuse(error, "the code must be " + std::to_string(min_code) + " to " +
                          std::to_string(OtpDemoLayout::kMaxCodeSize) + " bytes");
        return {};
    }
    for (const std::string* s : {&recipe.manufacturer, &recipe.product, &recipe.serial}) {
        if (s->size() > CDescString::kMaxChars) {
            Refuse(error, "string longer than 53 characters: " + *s);
            return {};
        }
    }
    // The records around the code: 0x2F, 0x08, the identity and the strings.
    CConfigBuilder builder;
    std::vector<uint8_t> area(0x2000, 0xFF);
    if (!BeginDemoArea(builder, recipe, OtpDemoLayout::kConfigType, OtpDemoLayout::kChipModel)) {
        Refuse(error, "configuration area does not fit");
        return {};
    }
    if (!builder.Finish(area)) {
        Refuse(error, "configuration area does not fit");
        return {};
    }
    area.resize(builder.finished_size());
    // The code record goes right after the 0x2F and 0x08 records.
    const std::vector<uint8_t> code = CodeRecord(recipe, code_size);
    area.insert(area.begin() + OtpDemoLayout::kCodeRecordOffset, code.begin(), code.end());
    area[2] = static_cast<uint8_t>(OtpDemoLayout::kChipModel << 3 | OtpDemoLayout::kVariant);
    PutLe16(&area[3], static_cast<uint16_t>(area.size()));
    area[5] = static_cast<uint8_t>(area[5] + 1);
    return area;
}

}  // namespace orbisk
